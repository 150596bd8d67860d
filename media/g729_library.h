// The external G.729 codec library, loaded at start-up when present.
//
// A call line holds the loaded library by shared ownership for as long as
// it may code G.729, so the library stays mapped after Shutdown has dropped
// the module's own reference, until the last such line is gone.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "codec-g729/CodecG729.h"
#include "platform/shared_library.h"

namespace talvenor {

struct G729Entries {
  EncodeG729Function encode = nullptr;
  DecodeG729Function decode = nullptr;
  ConcealG729Function conceal = nullptr;  // optional
};

// A loaded library and its entry points (null when it lacks them).
struct LoadedG729Library {
  SharedLibrary library;
  G729Entries entries;
};

enum class G729Load {
  Missing,         // no candidate loaded
  WithoutEntries,  // loaded, but without both entry points: no call may use it
  Usable,
};
// Tries each candidate path in turn and keeps the first library that loads;
// a library without both entry points stays loaded all the same.
G729Load LoadG729Library(const std::vector<std::string>& candidates);
// Where the module looks: next to itself first, then the loader's path.
std::vector<std::string> DefaultG729Candidates();
// Drops the module's reference; lines that hold the library keep it.
void FreeG729Library();
bool G729LibraryLoaded();
G729Entries G729Functions();
// The library for a new call line; null when none is loaded.
std::shared_ptr<const LoadedG729Library> SharedG729Library();

}  // namespace talvenor
