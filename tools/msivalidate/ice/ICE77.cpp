// ICE77: deferred (in-script) custom actions lie between InstallInitialize
// and InstallFinalize, where the script is written.
#include <optional>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr int kInScript = 0x400;

void Run(Context& ctx) {
  const Table* custom = ctx.Read("CustomAction");
  if (!custom) return;
  for (const char* name : {"InstallExecuteSequence", "AdminExecuteSequence"}) {
    const Table* sequence = ctx.Read(name);
    if (!sequence) continue;
    std::optional<int> initialize, finalize;
    for (const Row& row : sequence->rows) {
      const std::string action = sequence->Text(row, "Action");
      if (action == "InstallInitialize") initialize = sequence->Integer(row, "Sequence");
      if (action == "InstallFinalize") finalize = sequence->Integer(row, "Sequence");
    }
    for (const Row& row : sequence->rows) {
      const std::string action = sequence->Text(row, "Action");
      const Row* ca = custom->Find(action);
      if (!ca || !(custom->Integer(*ca, "Type").value_or(0) & kInScript)) continue;
      const auto at = sequence->Integer(row, "Sequence");
      const std::string what = action + " is a in-script custom action. ";
      if (!initialize)
        ctx.Report(Severity::Error, *sequence, "Sequence", row,
                   std::string("InstallInitialize is missing from '") + name + "'. " + what +
                       "It must be sequenced after the InstallInitialize action.");
      if (!finalize)
        ctx.Report(Severity::Error, *sequence, "Sequence", row,
                   std::string("InstallFinalize is missing from '") + name + "'. " + what +
                       "It must be sequenced before the InstallFinalize action.");
      if (initialize && finalize && at && *at > 0 && (*at <= *initialize || *at >= *finalize))
        ctx.Report(Severity::Error, *sequence, "Sequence", row,
                   what + "It must be sequenced in between the InstallInitialize action and the InstallFinalize "
                          "action in the " + name + " Sequence table.");
    }
  }
}

const Registration kICE77("ICE77", Run);

}  // namespace
}  // namespace msivalidate
