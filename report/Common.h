// Small general procedures of the report builder.
#pragma once

#include <string>
#include <vector>

#include "Automation.h"

namespace pellacor {

// The whole argument text of a command line: the arguments after the
// program's name joined by single blanks.
std::string JoinArguments(int argc, const char* const* argv);

// Removes one pair of enclosing double quotes: a leading quote when the text
// is longer than one character, and then a trailing one.
std::string StripQuotes(const std::string& text);

// True only for an existing file (not a folder); never fails.
bool FileExists(const std::string& path);

// The fixed version of a Windows executable or library, or the empty text
// for any other file and on any failure.
std::string GetFileVersion(const std::string& path);

// Deletes a file, read-only or not; a Failure when it cannot.
void DeleteFile(const std::string& path);

bool IsInList(const std::vector<std::string>& list, const std::string& value);

// True when the package has a table of that name.
bool TableExists(Database& database, const std::string& table);

}  // namespace pellacor
