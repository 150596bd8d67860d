// A shared library loaded for the rest of the process (the module).
#pragma once

#include <string>

namespace nuvex {

// Loads the library with every symbol resolved now and its own symbols made
// visible to the libraries loaded after it; null, with `error` set, when it
// cannot be loaded. It is never unloaded.
void* LoadSharedLibrary(const std::string& path, std::string& error);
// Address of an exported symbol, or null.
void* LibrarySymbol(void* library, const char* name);
// The file a library called `name` has on this system ("talvenor":
// "libtalvenor.so" here, "talvenor.dll" on Windows).
std::string SharedLibraryFileName(const std::string& name);

}  // namespace nuvex
