// The documented cases where libmsi is known to answer differently from the
// installer (known_differences.md says why for each). The machine-readable
// list holds one case a line: PACKAGE <TAB> STATEMENT, where PACKAGE is a
// file name or "*" for every package; '#' starts a comment line.
#pragma once

#include <string>
#include <vector>

class KnownDifferences {
 public:
  static KnownDifferences load(const std::string& path);
  bool covers(const std::string& package_name, const std::string& statement) const;
  size_t size() const { return cases_.size(); }

 private:
  struct Case {
    std::string package;
    std::string statement;
  };
  std::vector<Case> cases_;
};
