// The summary information stream as the archive table _SummaryInformation:
// one row per property (PropertyId i2, Value l255), file times written
// yyyy/mm/dd hh:mm:ss (UTC).
#pragma once

#include <string>
#include <vector>

#include "status.h"
#include "storage/database.h"

namespace msi {

inline constexpr const char* kSummaryArchiveTable = "_SummaryInformation";

// Writes every property the database's summary stream holds.
Status ExportSummaryIdt(Database& db, const std::string& path);
// Sets the properties of the archive's rows (lines after the header) in the
// summary stream, which becomes one of the database's changes.
Status ImportSummaryIdt(Database& db, const std::vector<std::string>& lines,
                        const std::string& file);

}  // namespace msi
