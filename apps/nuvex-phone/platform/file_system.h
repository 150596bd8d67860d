// The files and folders the phone keeps: its lists and the module's
// profile hold passwords and addresses, so what it creates is for the
// user alone (files 0600, folders 0700).
#pragma once

#include <string>

namespace nuvex {

enum class NewFile { Written, AlreadyThere, NotCreated, NotWritten };
// Creates the file with `text` unless it exists already.
NewFile CreatePrivateFile(const std::string& path, const std::string& text);

enum class FileRead { Read, Missing, Failed };
// The whole file into `text`; Missing when it does not exist.
FileRead ReadWholeFile(const std::string& path, std::string& text);

// Writes the text to a temporary file next to `path`, flushes it to disk and
// renames it over `path`, so that readers see either the old file or the new.
bool ReplaceFile(const std::string& path, const std::string& text);

// Creates the folder and any missing parents, each for the owner only.
bool MakePrivateFolder(const std::string& folder);

}  // namespace nuvex
