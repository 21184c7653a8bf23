// ICE89: a ProgId's parent is another row of the ProgId table.
#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* progid = ctx.Read("ProgId");
  if (!progid) return;
  for (const Row& row : progid->rows) {
    if (progid->IsNull(row, "ProgId_Parent")) continue;
    const std::string parent = progid->Text(row, "ProgId_Parent");
    if (!progid->Find(parent))
      ctx.Report(Severity::Error, *progid, "ProgId_Parent", row,
                 "The ProgId_Parent '" + parent + "' in the ProgId table is not a valid ProgId.");
  }
}

const Registration kICE89("ICE89", Run);

}  // namespace
}  // namespace msivalidate
