// A dynamically loaded library, freed when the object goes.
#pragma once

#include <string>
#include <vector>

namespace talvenor {

class SharedLibrary {
public:
  SharedLibrary() = default;
  ~SharedLibrary() { Free(); }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the library at `path` (a bare name searches the loader's path);
  // on failure LoadError() tells why.
  bool Load(const std::string& path);
  const std::string& LoadError() const { return error_; }
  bool IsLoaded() const { return handle_ != nullptr; }
  // Address of an exported symbol, or null.
  void* Symbol(const char* name) const;
  void Free();

private:
  void* handle_ = nullptr;
  std::string error_;
};

// Folder of the shared object that holds this code (the module itself), with
// no trailing slash; empty when unknown.
std::string ModuleDirectory();
// Where a library of the module's is looked for, in order: next to the
// module, then (Linux) by the loader's search path, which on Windows would
// begin with the current folder.
std::vector<std::string> LibraryCandidates(const std::string& fileName);
// The file name of the library called `stem` on this system
// ("libCodecG729.so", "CodecG729.dll").
std::string LibraryFileName(const std::string& stem);
// Keeps the library holding this code loaded until the process ends, for
// threads of its own that outlive the host's use of it. Linux builds the
// module so that it stays mapped anyway.
void KeepLibraryLoaded();
// Folder of the running executable (the host), with no trailing slash.
std::string ExecutableDirectory();
// Address of a symbol the running executable (the host) exports, or null.
void* ExecutableSymbol(const char* name);

}  // namespace talvenor
