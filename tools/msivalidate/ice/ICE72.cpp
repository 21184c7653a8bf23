// ICE72: advertisement runs no custom actions but the built-in ones that set
// a property (51), a directory (35) or end with an error (19).
#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* advt = ctx.Read("AdvtExecuteSequence");
  const Table* custom = ctx.Read("CustomAction");
  if (!advt || !custom) return;
  for (const Row& row : advt->rows) {
    const std::string action = advt->Text(row, "Action");
    const Row* ca = custom->Find(action);
    if (!ca) continue;
    const int base = custom->Integer(*ca, "Type").value_or(0) & 0x3F;
    if (base != 19 && base != 35 && base != 51)
      ctx.Report(Severity::Error, *advt, "Action", row,
                 "Custom Action '" + action +
                     "' in the AdvtExecuteSequence table is not allowed. Only built-in custom actions are allowed.");
  }
}

const Registration kICE72("ICE72", Run);

}  // namespace
}  // namespace msivalidate
