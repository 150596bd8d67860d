#include "media/g729_library.h"

#include <mutex>


namespace talvenor {

namespace {

struct G729State {
  std::mutex mutex;
  std::shared_ptr<const LoadedG729Library> loaded;
};

// Never destroyed: a host may shut the module down from an exit handler.
G729State& State() {
  static G729State* state = new G729State;
  return *state;
}

}  // namespace

G729Load LoadG729Library(const std::vector<std::string>& candidates) {
  G729State& state = State();
  std::scoped_lock lock(state.mutex);
  state.loaded.reset();
  auto loaded = std::make_shared<LoadedG729Library>();
  for (const std::string& path : candidates) {
    if (loaded->library.Load(path)) break;
  }
  if (!loaded->library.IsLoaded()) return G729Load::Missing;
  G729Load result = G729Load::WithoutEntries;
  auto encode = reinterpret_cast<EncodeG729Function>(loaded->library.Symbol("EncodeG729"));
  auto decode = reinterpret_cast<DecodeG729Function>(loaded->library.Symbol("DecodeG729"));
  if (encode != nullptr && decode != nullptr) {
    auto conceal = reinterpret_cast<ConcealG729Function>(loaded->library.Symbol("ConcealG729"));
    loaded->entries = {encode, decode, conceal};
    result = G729Load::Usable;
  }
  state.loaded = std::move(loaded);
  return result;
}

std::vector<std::string> DefaultG729Candidates() { return LibraryCandidates(LibraryFileName("CodecG729")); }

void FreeG729Library() {
  G729State& state = State();
  std::scoped_lock lock(state.mutex);
  state.loaded.reset();
}

bool G729LibraryLoaded() {
  std::scoped_lock lock(State().mutex);
  return State().loaded != nullptr;
}

G729Entries G729Functions() {
  std::scoped_lock lock(State().mutex);
  return State().loaded ? State().loaded->entries : G729Entries{};
}

std::shared_ptr<const LoadedG729Library> SharedG729Library() {
  std::scoped_lock lock(State().mutex);
  return State().loaded;
}

}  // namespace talvenor
