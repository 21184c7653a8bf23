// The summary information of a transform: what it was made from and how
// it is to be applied, in the property set every package carries.
#pragma once

#include <cstdint>
#include <vector>

#include "status.h"
#include "storage/database.h"

namespace msi {

// Template (7) and last author (8): platform;languages of the reference
// and of the newer database. Revision number (9): "{reference product
// code}version;{newer product code}version;{upgrade code}". Page count
// (14): the higher installer version of the two. Character count (16):
// validation flags in the high word, error conditions in the low word.
// The descriptive texts come from the reference's own summary.
Result<std::vector<uint8_t>> TransformSummary(Database& newer, Database& reference,
                                              int error_conditions, int validation);

}  // namespace msi
