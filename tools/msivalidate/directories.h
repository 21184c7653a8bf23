// The Directory table as a tree: parents, ancestry and target names, for
// evaluators that ask where something is installed.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "package.h"

namespace msivalidate {

class DirectoryTree {
 public:
  explicit DirectoryTree(const Table* directory);  // nullptr: an empty tree

  bool Has(std::string_view dir) const { return parent_.count(std::string(dir)) != 0; }
  // The parent, or "" for a root (no parent, or the row names itself).
  std::string Parent(const std::string& dir) const;
  // `dir` is `ancestor` or lies below it. A cycle ends the walk.
  bool IsUnder(const std::string& dir, std::string_view ancestor) const;
  // The long target name of a DefaultDir value ("short|long:source" gives
  // "long").
  static std::string TargetName(std::string_view default_dir);
  // The target path from the root, names joined with '\' (for messages and
  // for comparing install places). A cycle stops the walk.
  std::string TargetPath(const std::string& dir) const;

 private:
  std::map<std::string, std::string> parent_;
  std::map<std::string, std::string> default_dir_;
};

// The long name of a "short|long" file or directory name.
std::string_view LongName(std::string_view name);

}  // namespace msivalidate
