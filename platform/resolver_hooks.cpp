#include "platform/resolver_hooks.h"

#include <mutex>

namespace talvenor {

namespace {

struct LookupSlot {
  std::mutex mutex;
  HostLookup lookup;
  AddressLookup reverseLookup;
};

LookupSlot& Lookup() {
  static LookupSlot* slot = new LookupSlot;  // outlives static destruction
  return *slot;
}

}  // namespace

void SetHostLookup(HostLookup lookup) {
  std::scoped_lock lock(Lookup().mutex);
  Lookup().lookup = std::move(lookup);
}

void SetReverseLookup(AddressLookup lookup) {
  std::scoped_lock lock(Lookup().mutex);
  Lookup().reverseLookup = std::move(lookup);
}

HostLookup InstalledHostLookup() {
  std::scoped_lock lock(Lookup().mutex);
  return Lookup().lookup;
}

AddressLookup InstalledReverseLookup() {
  std::scoped_lock lock(Lookup().mutex);
  return Lookup().reverseLookup;
}

}  // namespace talvenor
