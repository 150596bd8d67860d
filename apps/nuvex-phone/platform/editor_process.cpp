#include "apps/nuvex-phone/platform/editor_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace nuvex {

std::string UserEditor() {
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* editor = std::getenv(variable);
    if (editor != nullptr && *editor != '\0') return editor;
  }
  return {};
}

void RunEditor(const std::string& editor, const std::string& path) {
  pid_t child = fork();
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", (editor + " \"$1\"").c_str(), "sh", path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (child > 0) waitpid(child, &status, 0);
}

}  // namespace nuvex
