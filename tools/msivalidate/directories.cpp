#include "directories.h"

#include <set>

namespace msivalidate {

std::string_view LongName(std::string_view name) {
  const size_t bar = name.find('|');
  return bar == std::string_view::npos ? name : name.substr(bar + 1);
}

DirectoryTree::DirectoryTree(const Table* directory) {
  if (!directory) return;
  for (const Row& row : directory->rows) {
    const std::string dir = directory->Text(row, "Directory");
    std::string parent = directory->Text(row, "Directory_Parent");
    if (parent == dir) parent.clear();
    parent_[dir] = parent;
    default_dir_[dir] = directory->Text(row, "DefaultDir");
  }
}

std::string DirectoryTree::Parent(const std::string& dir) const {
  auto it = parent_.find(dir);
  return it == parent_.end() ? std::string() : it->second;
}

bool DirectoryTree::IsUnder(const std::string& dir, std::string_view ancestor) const {
  std::set<std::string> seen;
  for (std::string d = dir; !d.empty() && seen.insert(d).second; d = Parent(d))
    if (d == ancestor) return true;
  return false;
}

std::string DirectoryTree::TargetName(std::string_view default_dir) {
  // "target:source": the part before the colon is where files go.
  const size_t colon = default_dir.find(':');
  if (colon != std::string_view::npos) default_dir = default_dir.substr(0, colon);
  return std::string(LongName(default_dir));
}

std::string DirectoryTree::TargetPath(const std::string& dir) const {
  std::set<std::string> seen;
  std::string path;
  for (std::string d = dir; !d.empty() && seen.insert(d).second; d = Parent(d)) {
    auto it = default_dir_.find(d);
    std::string name = it == default_dir_.end() ? d : TargetName(it->second);
    // A root's target is the property of its name; "." adds no folder.
    if (Parent(d).empty()) name = "[" + d + "]";
    if (name == ".") continue;
    path = path.empty() ? name : name + "\\" + path;
  }
  return path;
}

}  // namespace msivalidate
