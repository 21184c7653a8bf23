// Writes the setup report of one package beside it.
#pragma once

#include <string>

#include "Progress.h"

namespace pellacor {

// Produces the whole report for the package. A path that names no file is
// a Failure (53, File not found) and nothing is written. Once the report
// file is open every failure becomes an error line in it; a Failure leaves
// only when the path names no file or the report file cannot be created or
// written.
void BuildReport(const std::string& package_path, ProgressLabel* label,
                 ProgressBar* bar);

}  // namespace pellacor
