// What one adapter argument reaches: the adapters its driver lists, serial
// number first, with what the driver knows more (product, USB position, a
// node's interface). The command line prints it; the console sends it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/adapter.h"

struct ListedAdapter {
  std::string serial;  // as the driver gives it: may hold any byte
  std::string detail;  // "" when the driver knows nothing more
};

struct AdapterListing {
  std::vector<ListedAdapter> adapters;  // at most kSerialSlots
  int attached = 0;                     // how many the driver counted (may be more than listed)
};

// Lists what `adapter` reaches; false with `error` naming the adapter and
// its library when the driver cannot list.
bool listAdapters(Adapter& adapter, AdapterListing& listing, std::string& error);
