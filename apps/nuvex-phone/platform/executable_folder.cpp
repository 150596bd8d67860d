#include "apps/nuvex-phone/platform/executable_folder.h"

#include <unistd.h>

namespace nuvex {

std::string ExecutableFolder() {
  char path[4096] = {};
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string text(path, length > 0 ? static_cast<size_t>(length) : 0);
  size_t slash = text.rfind('/');
  return slash == std::string::npos ? std::string(".") : text.substr(0, slash);
}

}  // namespace nuvex
