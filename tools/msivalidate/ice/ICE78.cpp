// ICE78: advertising shows no UI, so AdvtUISequence is absent or empty.
#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* advt_ui = ctx.Read("AdvtUISequence");
  if (!advt_ui) return;
  for (const Row& row : advt_ui->rows)
    ctx.Report(Severity::Error, *advt_ui, "Action", row,
               "Action '" + advt_ui->Text(row, "Action") +
                   "' found in AdvtUISequence table. No UI is allowed during advertising. Therefore "
                   "AdvtUISequence table must be empty or not present.");
}

const Registration kICE78("ICE78", Run);

}  // namespace
}  // namespace msivalidate
