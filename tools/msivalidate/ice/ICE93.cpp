// ICE93: a custom action named like a standard action is shadowed by it
// (or shadows it), depending on where the name is used.
#include "evaluator.h"
#include "sequences.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* actions = ctx.Read("CustomAction");
  if (!actions) return;
  for (const Row& row : actions->rows) {
    const std::string name = actions->Text(row, "Action");
    if (IsStandardAction(name))
      ctx.Report(Severity::Warning, *actions, "Action", row,
                 "The Custom action '" + name + "' uses the same name as a standard action.");
  }
}

const Registration kICE93("ICE93", Run);

}  // namespace
}  // namespace msivalidate
