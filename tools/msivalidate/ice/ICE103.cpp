// ICE103: MsiPrint prints the dialog's ScrollableText control, so it is
// published only from dialogs that have one.
#include <set>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* events = ctx.Read("ControlEvent");
  if (!events) return;
  std::set<std::string, std::less<>> with_text;
  if (const Table* control = ctx.Read("Control"))
    for (const Row& row : control->rows)
      if (control->Text(row, "Type") == "ScrollableText") with_text.insert(control->Text(row, "Dialog_"));
  for (const Row& row : events->rows) {
    if (events->Text(row, "Event") != "MsiPrint") continue;
    const std::string dialog = events->Text(row, "Dialog_");
    if (with_text.count(dialog)) continue;
    ctx.Report(Severity::Error, *events, "Event", row,
               "The MsiPrint event of control " + events->Text(row, "Control_") + " on dialog " + dialog +
                   " is used on a dialog without a ScrollableText control.");
  }
}

const Registration kICE103("ICE103", Run);

}  // namespace
}  // namespace msivalidate
