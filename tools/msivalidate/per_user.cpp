#include "per_user.h"

#include <array>
#include <unordered_set>
#include <vector>

namespace msivalidate {
namespace {

constexpr std::array<std::string_view, 9> kPerUserOnly = {
    "AppDataFolder",  "FavoritesFolder", "NetHoodFolder",    "PersonalFolder",    "PrintHoodFolder",
    "RecentFolder",   "SendToFolder",    "MyPicturesFolder", "LocalAppDataFolder"};

constexpr std::array<std::string_view, 6> kFollowsAllUsers = {
    "DesktopFolder", "ProgramMenuFolder", "StartMenuFolder",
    "StartupFolder", "TemplateFolder",    "AdminToolsFolder"};

// The list's own copy of the name (it outlives every table), or "".
std::string_view KnownProfileFolder(std::string_view name) {
  for (std::string_view n : kPerUserOnly)
    if (n == name) return n;
  for (std::string_view n : kFollowsAllUsers)
    if (n == name) return n;
  return {};
}

}  // namespace

bool IsPerUserOnlyFolder(std::string_view dir) {
  for (std::string_view n : kPerUserOnly)
    if (n == dir) return true;
  return false;
}

bool IsProfileFolder(std::string_view dir) { return !KnownProfileFolder(dir).empty(); }

NearestFolder::NearestFolder(const Table* directory, Known known) : known_(known) {
  if (!directory) return;
  std::unordered_map<std::string, std::string> parent;
  for (const Row& row : directory->rows)
    parent.emplace(directory->Text(row, "Directory"), directory->Text(row, "Directory_Parent"));
  // Each chain is walked once: what lies above a resolved directory is
  // taken from it, and a cycle ends the walk at no folder.
  std::vector<std::string> chain;
  std::unordered_set<std::string> on_chain;
  for (const auto& entry : parent) {
    const std::string& start = entry.first;
    if (folder_.count(start)) continue;
    chain.clear();
    on_chain.clear();
    std::string_view found;
    std::string d = start;
    for (;;) {
      if (auto done = folder_.find(d); done != folder_.end()) {
        found = done->second;
        break;
      }
      if (!known(d).empty()) {
        found = known(d);
        break;
      }
      if (!on_chain.insert(d).second) break;
      chain.push_back(d);
      auto up = parent.find(d);
      if (up == parent.end() || up->second.empty() || up->second == d) break;
      d = up->second;
    }
    for (const std::string& c : chain) folder_[c] = found;
    if (!known(d).empty() && parent.count(d)) folder_[d] = known(d);
  }
}

std::string_view NearestFolder::Of(const std::string& dir) const {
  if (auto it = folder_.find(dir); it != folder_.end()) return it->second;
  return known_(dir);
}

ProfileFolders::ProfileFolders(const Table* directory) : nearest_(directory, KnownProfileFolder) {}

}  // namespace msivalidate
