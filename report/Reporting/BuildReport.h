// Writes the setup report of one package beside it.
#pragma once

#include <string>

#include "Progress.h"

namespace pellacor {

// Produces the whole report for the package. Returns at once, writing
// nothing, when the path names no file. Once the report file is open every
// failure becomes an error line in it; a Failure leaves only when the report
// file cannot be created or written.
void BuildReport(const std::string& package_path, ProgressLabel* label,
                 ProgressBar* bar);

}  // namespace pellacor
