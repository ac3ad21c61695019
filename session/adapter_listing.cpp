#include "session/adapter_listing.h"

#include <algorithm>
#include <memory>

#include "engine/line.h"
#include "engine/link.h"

bool listAdapters(Adapter& adapter, AdapterListing& listing, std::string& error) {
  listing = {};
  auto line = std::make_unique<Line>();
  line->adapter = &adapter;
  if (!linkLoad(*line) || !linkList(*line)) {
    error = std::string("cannot list the adapters of \"") + adapter.name() + "\" (" +
            adapter.library() + ")";
    return false;
  }
  listing.attached = line->iNumDevs;
  const int shown = std::clamp(line->iNumDevs, 0, kSerialSlots);
  for (int i = 0; i < shown; ++i)
    listing.adapters.push_back(
        {line->pcBufLD[i], adapter.listingDetail(static_cast<std::size_t>(i))});
  return true;
}
