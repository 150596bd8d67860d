// The two steps of private_file.h's shared functions that each system
// takes its own way.
#pragma once

#include <cstdio>
#include <string>

namespace talvenor {

// Renames `from` over `to` in one step; false when it did not happen.
bool RenameOver(const std::string& from, const std::string& to);
// Makes what the file's buffer handed to the system durable.
bool SyncToDisk(FILE* file);

}  // namespace talvenor
