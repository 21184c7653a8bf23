// The parts of the report, in the order BuildReport writes them.
#pragma once

#include "ReportRun.h"

namespace pellacor {

void WriteHead(ReportRun& run);
void WriteHeader(ReportRun& run);
void WriteRequirementsSection(ReportRun& run);
void WriteUpgradeSection(ReportRun& run);
void WriteFileListSection(ReportRun& run);
void WriteBinaryListSection(ReportRun& run);
void WriteEndOfReport(ReportRun& run);

}  // namespace pellacor
