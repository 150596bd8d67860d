// The external G.729 codec library, loaded at start-up when present.
#pragma once

#include <string>
#include <vector>

namespace talvenor {

// Encoder: (the line's encoder int, output, samples, input byte count) gives
// the payload byte count. Decoder: (the line's decoder int, output, output
// capacity, payload, payload length) gives the sample bytes written.
using EncodeG729Function = int (*)(int* state, unsigned char* output, const short* samples, int byteCount);
using DecodeG729Function = int (*)(int* state, short* output, int capacity, const unsigned char* payload,
                                   int length);

struct G729Entries {
  EncodeG729Function encode = nullptr;
  DecodeG729Function decode = nullptr;
};

// Tries each candidate path in turn and keeps the first library that loads.
// G729Available becomes 1 only when both entry points are found; a library
// without both stays loaded. Returns whether a library was loaded.
bool LoadG729Library(const std::vector<std::string>& candidates);
// Where the module looks: next to itself first, then the loader's path.
std::vector<std::string> DefaultG729Candidates();
void FreeG729Library();
bool G729LibraryLoaded();
G729Entries G729Functions();

}  // namespace talvenor
