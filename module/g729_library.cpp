#include "module/g729_library.h"

#include <mutex>

#include "module/module_settings.h"
#include "platform/shared_library.h"

namespace talvenor {

namespace {

struct G729State {
  std::mutex mutex;
  SharedLibrary library;
  G729Entries entries;
};

// Never destroyed: a host may shut the module down from an exit handler.
G729State& State() {
  static G729State* state = new G729State;
  return *state;
}

}  // namespace

bool LoadG729Library(const std::vector<std::string>& candidates) {
  G729State& state = State();
  std::scoped_lock lock(state.mutex);
  state.library.Free();
  state.entries = {};
  Settings().G729Available = 0;
  for (const std::string& path : candidates) {
    if (state.library.Load(path)) break;
  }
  if (!state.library.IsLoaded()) return false;
  auto encode = reinterpret_cast<EncodeG729Function>(state.library.Symbol("EncodeG729"));
  auto decode = reinterpret_cast<DecodeG729Function>(state.library.Symbol("DecodeG729"));
  if (encode != nullptr && decode != nullptr) {
    state.entries = {encode, decode};
    Settings().G729Available = 1;
  }
  return true;
}

std::vector<std::string> DefaultG729Candidates() {
  std::vector<std::string> candidates;
  if (std::string folder = ModuleDirectory(); !folder.empty()) candidates.push_back(folder + "/libCodecG729.so");
  candidates.push_back("libCodecG729.so");
  return candidates;
}

void FreeG729Library() {
  G729State& state = State();
  std::scoped_lock lock(state.mutex);
  state.entries = {};
  state.library.Free();
  Settings().G729Available = 0;  // the entry points are gone with the library
}

bool G729LibraryLoaded() {
  std::scoped_lock lock(State().mutex);
  return State().library.IsLoaded();
}

G729Entries G729Functions() {
  std::scoped_lock lock(State().mutex);
  return State().entries;
}

}  // namespace talvenor
