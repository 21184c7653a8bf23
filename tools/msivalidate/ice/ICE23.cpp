// ICE23: each dialog's tab order starts at a control of the dialog and,
// following Control_Next, makes one closed loop through every control that
// has a Control_Next.
#include <map>
#include <set>

#include "evaluator.h"

namespace msivalidate {
namespace {

struct DialogControls {
  std::map<std::string, const Row*> rows;  // control -> its row
  size_t linked = 0;                       // controls with a Control_Next
};

void Run(Context& ctx) {
  const Table* dialog = ctx.Read("Dialog");
  const Table* control = ctx.Read("Control");
  if (!dialog || !control) return;

  std::map<std::string, DialogControls> dialogs;
  for (const Row& row : control->rows) {
    DialogControls& d = dialogs[control->Text(row, "Dialog_")];
    d.rows.emplace(control->Text(row, "Control"), &row);
    if (!control->IsNull(row, "Control_Next")) ++d.linked;
  }
  // A link to a control the dialog does not have.
  for (const auto& [name, d] : dialogs)
    for (const auto& [control_name, row] : d.rows)
      if (!control->IsNull(*row, "Control_Next") &&
          !d.rows.count(control->Text(*row, "Control_Next")))
        ctx.Report(
            Severity::Error, *control, "Control_Next", *row,
            "Control_Next of control " + name + "." + control_name + " links to unknown control.");

  static const DialogControls kNone;
  for (const Row& row : dialog->rows) {
    const std::string name = dialog->Text(row, "Dialog");
    if (dialog->IsNull(row, "Control_First")) {
      ctx.Report(Severity::Error, *dialog, "Control_First", row, name + " has no Control_First.");
      continue;
    }
    const std::string first = dialog->Text(row, "Control_First");
    auto found = dialogs.find(name);
    const DialogControls& d = found == dialogs.end() ? kNone : found->second;
    if (!d.rows.count(first)) {
      ctx.Report(
          Severity::Error, *dialog, "Control_First", row,
          "Control_First of dialog " + name + " refers to nonexistent control " + first + ".");
      continue;
    }
    // A dialog without any Control_Next has no tab order to check (one
    // that only shows text, or has a single button).
    if (d.linked == 0) continue;
    // The walk ends at the first control seen twice, so a damaged chain
    // cannot keep it going.
    std::set<std::string> seen;
    std::string at = first;
    while (true) {
      seen.insert(at);
      const Row* at_row = d.rows.at(at);
      if (control->IsNull(*at_row, "Control_Next")) {
        ctx.Report(Severity::Error, *control, "Control_Next", *at_row,
                   name + " has dead-end tab order at control " + at + ".");
        break;
      }
      const std::string next = control->Text(*at_row, "Control_Next");
      if (!d.rows.count(next)) break;  // reported above
      if (next == first && seen.size() == d.linked) break;
      if (next == first || seen.count(next)) {
        ctx.Report(Severity::Error, *control, "Control_Next", *at_row,
                   name + " has malformed tab order at control " + at + ".");
        break;
      }
      at = next;
    }
  }
}

const Registration kICE23("ICE23", Run);

}  // namespace
}  // namespace msivalidate
