// ICE75: custom actions run from an installed file (types 17, 18, 21, 22)
// come after CostFinalize, which resolves where that file is.
#include <optional>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* custom = ctx.Read("CustomAction");
  if (!custom) return;
  for (const char* name : {"InstallUISequence", "InstallExecuteSequence", "AdminUISequence", "AdminExecuteSequence"}) {
    const Table* sequence = ctx.Read(name);
    if (!sequence) continue;
    std::optional<int> cost_finalize;
    for (const Row& row : sequence->rows)
      if (sequence->Text(row, "Action") == "CostFinalize") cost_finalize = sequence->Integer(row, "Sequence");
    for (const Row& row : sequence->rows) {
      const std::string action = sequence->Text(row, "Action");
      const Row* ca = custom->Find(action);
      if (!ca) continue;
      const int base = custom->Integer(*ca, "Type").value_or(0) & 0x3F;
      if (base != 17 && base != 18 && base != 21 && base != 22) continue;
      const auto at = sequence->Integer(row, "Sequence");
      if (!cost_finalize)
        ctx.Report(Severity::Error, *sequence, "Sequence", row,
                   std::string("CostFinalize is missing from '") + name + "'. " + action +
                       " is a custom action whose source is an installed file. It must be sequenced after the "
                       "CostFinalize action.");
      else if (at && *at > 0 && *at <= *cost_finalize)  // negative numbers are exit dialogs, after everything
        ctx.Report(Severity::Error, *sequence, "Sequence", row,
                   action + " is a custom action whose source is an installed file. It must be sequenced after "
                            "the CostFinalize action in the " + name + " table");
    }
  }
}

const Registration kICE75("ICE75", Run);

}  // namespace
}  // namespace msivalidate
