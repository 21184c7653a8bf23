// Integer properties of a package's summary information, for evaluators
// whose verdict depends on the schema (PID_PAGECOUNT) or the source image
// kind (PID_WORDCOUNT).
#pragma once

#include <optional>

#include "msiquery.h"

namespace msivalidate {

// The property's integer value; nullopt when it is absent, not an integer
// or the summary information cannot be read.
std::optional<int> SummaryInteger(MSIHANDLE db, UINT pid);

// PID_WORDCOUNT bit: files are compressed unless their own attributes say
// otherwise.
constexpr int kWordCountCompressed = 0x2;

}  // namespace msivalidate
