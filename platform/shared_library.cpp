#include "platform/shared_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>

namespace talvenor {

bool SharedLibrary::Load(const std::string& path) {
  Free();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* error = dlerror();
    error_ = error != nullptr ? error : path + " cannot be loaded";
  }
  return handle_ != nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  return handle_ == nullptr ? nullptr : dlsym(handle_, name);
}

void SharedLibrary::Free() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

namespace {
std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
}  // namespace

std::string ModuleDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleDirectory), &info) == 0 || info.dli_fname == nullptr) return {};
  std::array<char, 4096> resolved{};
  if (realpath(info.dli_fname, resolved.data()) == nullptr) return FolderOf(info.dli_fname);
  return FolderOf(resolved.data());
}

std::string ExecutableDirectory() {
  std::array<char, 4096> path{};
  ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return {};
  return FolderOf(std::string(path.data(), static_cast<size_t>(length)));
}

void* ExecutableSymbol(const char* name) {
  // The executable and the libraries it loaded globally, as the dynamic
  // linker resolves the module's own undefined symbols.
  return dlsym(RTLD_DEFAULT, name);
}

void KeepLibraryLoaded() {}

std::string LibraryFileName(const std::string& stem) { return "lib" + stem + ".so"; }

std::vector<std::string> LibraryCandidates(const std::string& fileName) {
  std::vector<std::string> candidates;
  if (std::string folder = ModuleDirectory(); !folder.empty()) candidates.push_back(folder + "/" + fileName);
  candidates.push_back(fileName);
  return candidates;
}

}  // namespace talvenor
