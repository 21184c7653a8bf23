#include "Common.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "msiquery.h"

namespace pellacor {

std::string JoinArguments(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

std::string StripQuotes(const std::string& text) {
  if (text.size() <= 1 || text.front() != '"') return text;
  std::string rest = text.substr(1);
  if (!rest.empty() && rest.back() == '"') rest.pop_back();
  return rest;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string GetFileVersion(const std::string& path) {
  // The engine reads the version; any failure (no library, no version
  // resource, damage) leaves the cell empty.
  char version[64];
  DWORD length = sizeof version;
  if (MsiGetFileVersionA(path.c_str(), version, &length, nullptr, nullptr) != ERROR_SUCCESS) {
    return {};
  }
  return std::string(version, length);
}

void DeleteFile(const std::string& path) {
  if (unlink(path.c_str()) != 0) throw FileFailure(errno);
}

bool IsInList(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

bool TableExists(Database& database, const std::string& table) {
  View view = database.OpenView(
      "SELECT DISTINCT `Name` FROM `_Tables` WHERE `Name`=?");
  view.Execute(ParameterRecord({table}));
  Record row = view.Fetch();
  bool found = !row.IsNothing();
  row = Record();
  view.Close();
  return found;
}

}  // namespace pellacor
