// ICE13: dialogs belong in the UI sequences; the execute sequences run
// without a user interface.
#include "evaluator.h"

namespace msivalidate {
namespace {

const char* const kExecuteSequences[] = {"AdminExecuteSequence", "AdvtExecuteSequence",
                                         "InstallExecuteSequence"};

void Run(Context& ctx) {
  const Table* dialog = ctx.Read("Dialog");
  if (!dialog) return;
  for (const char* name : kExecuteSequences) {
    const Table* sequence = ctx.Read(name);
    if (!sequence) continue;
    for (const Row& row : sequence->rows) {
      const std::string action = sequence->Text(row, "Action");
      if (dialog->Find(action))
        ctx.Report(Severity::Error, *sequence, "Action", row,
                   "Dialog '" + action + "' cannot be listed in the '" + name + "' table.");
    }
  }
}

const Registration kICE13("ICE13", Run);

}  // namespace
}  // namespace msivalidate
