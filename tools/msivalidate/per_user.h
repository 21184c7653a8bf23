// Which installed data belongs to one user and which to the machine: the
// profile folders and the directories below them.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "package.h"

namespace msivalidate {

// Whose data something is. Either: it follows ALLUSERS (HKMU registry
// entries).
enum class Owner { Machine, User, Either };

// Folders that stay in the installing user's profile whatever ALLUSERS says.
bool IsPerUserOnlyFolder(std::string_view dir);
// Every profile folder: the per-user-only ones and those with an All Users
// twin (desktop, start menu and the like).
bool IsProfileFolder(std::string_view dir);

// For each directory, the nearest standard folder it is or lies below, by
// the parent chain; `known` gives a name's lasting copy when it is one of
// the standard folders sought, else "". A cycle ends a chain at no folder.
class NearestFolder {
 public:
  using Known = std::string_view (*)(std::string_view name);
  NearestFolder(const Table* directory, Known known);
  // A directory missing from the table counts only by its own name.
  std::string_view Of(const std::string& dir) const;

 private:
  Known known_;
  std::unordered_map<std::string, std::string_view> folder_;
};

class ProfileFolders {
 public:
  // `directory` may be nullptr (no Directory table).
  explicit ProfileFolders(const Table* directory);

  // The profile folder `dir` is or lies below, or "" when outside the
  // profile. A directory missing from the table counts only by its name.
  std::string_view FolderOf(const std::string& dir) const { return nearest_.Of(dir); }
  bool InProfile(const std::string& dir) const { return !FolderOf(dir).empty(); }
  bool PerUserOnly(const std::string& dir) const { return IsPerUserOnlyFolder(FolderOf(dir)); }

 private:
  NearestFolder nearest_;
};

}  // namespace msivalidate
