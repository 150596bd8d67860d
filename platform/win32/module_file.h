// The module's own file: the DLL that holds this code (or the executable,
// when the code is linked into one, as in the tests).
#pragma once

#include <string>

namespace talvenor {

// The module's handle as the system knows it (an HMODULE); null if unknown.
void* ModuleHandle();
// The full path of a loaded module's file (null: the executable's), UTF-8;
// empty if unknown.
std::string LoadedFilePath(void* module);
// The module's full path, UTF-8; empty if unknown.
std::string ModulePath();
// The file name without folder and extension: "talvenor" for
// ...\talvenor.dll.
std::string ModuleBaseName();
// The folder part of a path with either slash, without the trailing one.
std::string FolderOfPath(const std::string& path);

}  // namespace talvenor
