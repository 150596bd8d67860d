#include "apps/nuvex-phone/platform/shared_library.h"

#include <dlfcn.h>

namespace nuvex {

void* LoadSharedLibrary(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr) {
    const char* why = dlerror();
    error = why != nullptr ? why : "";
  }
  return library;
}

void* LibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

std::string SharedLibraryFileName(const std::string& name) { return "lib" + name + ".so"; }

}  // namespace nuvex
