// Findings as a SARIF 2.1.0 log, the result format CI services show as
// annotations. One run; one result per finding.
#pragma once

#include <string>
#include <vector>

#include "finding.h"

namespace msivalidate {

struct PackageFindings {
  std::string path;
  bool opened = true;
  std::string open_error;         // when !opened: "cannot open: error 110: ..."
  std::vector<Finding> findings;
};

// `rules`: the evaluators that ran, in order, with their descriptions.
std::string FormatSarif(const std::vector<PackageFindings>& packages,
                        const std::vector<std::pair<std::string, std::string>>& rules,
                        const std::string& version);

}  // namespace msivalidate
