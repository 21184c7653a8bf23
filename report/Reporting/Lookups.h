// Lookups that read single values, lists and folder paths out of the
// package. Each passes its values as statement parameters, never pasted into
// the statement, so a quote in a key is just a character.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Automation.h"

namespace pellacor {

// The property's value, or the empty text when the package lacks it.
std::string GetPropertyValue(Database& database, const std::string& property);

// The feature's title; its key when the title is empty; the empty text when
// there is no such feature.
std::string GetFeatureTitle(Database& database, const std::string& feature);

// The description recorded for a product version, or the version itself.
std::string GetVersionDescription(Database& database, const std::string& name,
                                  const std::string& version);

// Fills `texts` (emptied first) with one text per requirement of the
// feature, such as "Product from 1.0 to 2.0". On a failure the texts gathered
// so far stay in the list.
void GetRequirementTexts(Database& database, const std::string& feature,
                         std::vector<std::string>& texts);

// The short (before "|") or long (after it) part of a "short|long" name.
std::string GetNamePart(const std::string& name, bool short_part);

// Display paths of directories ("[ProgramFilesFolder]My Company\App\"),
// each key resolved once per object: results and failures are kept, which
// is what makes big packages fast. A cycle in the parent chain is a
// failure (Out of stack space), not a hang.
class DirectoryPaths {
 public:
  DirectoryPaths(Database& database, bool target, bool short_names,
                 bool bracket_folders);

  std::string PathOf(const std::string& key);

 private:
  struct Row {
    std::string parent;
    std::string name;
  };
  struct Resolved {
    std::string path;
    std::optional<Failure> failure;
  };

  Row LookUp(const std::string& key);
  std::string DisplayName(const std::string& default_dir) const;
  static std::string EndWithSeparator(std::string path);

  Database& database_;
  bool target_;
  bool short_names_;
  bool bracket_folders_;
  View view_;
  std::optional<Failure> open_failure_;
  std::unordered_map<std::string, Resolved> resolved_;
};

// One directory's display path, as DirectoryPaths gives it.
std::string GetDirectoryPath(Database& database, const std::string& key,
                             bool target, bool short_names,
                             bool bracket_folders);

}  // namespace pellacor
