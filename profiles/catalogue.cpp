#include <cstring>
#include <initializer_list>

#include "profiles/profiles.h"

const ReleaseProfile* findProfile(const char* id) {
  for (const ReleaseProfile* p : {&profileV1_2, &profileV1_1, &profileEarly})
    if (std::strcmp(p->id, id) == 0) return p;
  return nullptr;
}
