// ICE44: NewDialog, SpawnDialog and SpawnWaitDialog events name a dialog of
// the Dialog table.
#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* event = ctx.Read("ControlEvent");
  if (!event) return;
  const Table* dialog = ctx.Read("Dialog");
  for (const Row& row : event->rows) {
    const std::string type = event->Text(row, "Event");
    if (type != "NewDialog" && type != "SpawnDialog" && type != "SpawnWaitDialog") continue;
    const std::string argument = event->Text(row, "Argument");
    // A formatted argument names its dialog only at run time.
    if (argument.find('[') != std::string::npos) continue;
    if (dialog && dialog->Find(argument)) continue;
    ctx.Report(Severity::Error, *event, "Argument", row,
               "Control Event for Control '" + event->Text(row, "Dialog_") + "'.'" +
                   event->Text(row, "Control_") + "' is of type " + type + ", but its argument " +
                   argument + " is not a valid entry in the Dialog Table.");
  }
}

const Registration kICE44("ICE44", Run);

}  // namespace
}  // namespace msivalidate
