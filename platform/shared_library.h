// A dynamically loaded library, freed when the object goes.
#pragma once

#include <string>

namespace talvenor {

class SharedLibrary {
public:
  SharedLibrary() = default;
  ~SharedLibrary() { Free(); }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the library at `path` (a bare name searches the loader's path).
  bool Load(const std::string& path);
  bool IsLoaded() const { return handle_ != nullptr; }
  // Address of an exported symbol, or null.
  void* Symbol(const char* name) const;
  void Free();

private:
  void* handle_ = nullptr;
};

// Folder of the shared object that holds this code (the module itself), with
// no trailing slash; empty when unknown.
std::string ModuleDirectory();
// Folder of the running executable (the host), with no trailing slash.
std::string ExecutableDirectory();

}  // namespace talvenor
