// ICE20: a package with its own user interface has the standard dialogs the
// installer shows on its own: the files-in-use dialog, the error dialog and
// the dialogs that end the UI sequences (exit, user exit, fatal error).
#include <map>
#include <set>
#include <tuple>

#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

constexpr int kErrorDialog = 0x10000;

using Event = std::tuple<std::string, std::string, std::string, std::string>;

struct Ui {
  const Table* dialog = nullptr;
  const Table* control = nullptr;
  std::map<std::pair<std::string, std::string>, const Row*> controls;
  std::set<Event> events;  // dialog, control, "EndDialog", argument

  const Row* Control(const std::string& dialog_name, const std::string& name) const {
    auto it = controls.find({dialog_name, name});
    return it == controls.end() ? nullptr : it->second;
  }
  bool IsType(const Row* row, const char* type) const {
    return row && SameNoCase(control->Text(*row, "Type"), type);
  }
  bool Ends(const std::string& dialog_name, const std::string& name, const char* argument) const {
    return events.count({dialog_name, name, "EndDialog", argument}) != 0;
  }
};

void CheckFilesInUse(Context& ctx, const Ui& ui, const Row& dialog_row, bool has_list_table) {
  const std::string d = ui.dialog->Text(dialog_row, "Dialog");
  if (!has_list_table)
    ctx.Report(Severity::Error, *ui.dialog, "Dialog", dialog_row,
               "The FilesInUse dialog needs a ListBox table.");
  bool list = false;
  std::set<std::string> ends;
  for (const auto& [where, row] : ui.controls) {
    if (where.first != d) continue;
    if (ui.IsType(row, "ListBox") && ui.control->Text(*row, "Property") == "FileInUseProcess")
      list = true;
    if (ui.IsType(row, "PushButton"))
      for (const char* argument : {"Ignore", "Exit", "Retry"})
        if (ui.Ends(d, where.second, argument)) ends.insert(argument);
  }
  if (!list)
    ctx.Report(Severity::Error, *ui.dialog, "Dialog", dialog_row,
               "The FilesInUse dialog has no ListBox control with the property FileInUseProcess.");
  for (const char* argument : {"Ignore", "Exit", "Retry"})
    if (!ends.count(argument))
      ctx.Report(Severity::Error, *ui.dialog, "Dialog", dialog_row,
                 std::string("The FilesInUse dialog has no PushButton control with the EndDialog "
                             "event and the argument ") +
                     argument + ".");
}

void CheckErrorDialog(Context& ctx, const Ui& ui, const Row& dialog_row) {
  const std::string d = ui.dialog->Text(dialog_row, "Dialog");
  const std::string of = " of Error dialog '" + d + "'";
  if (!ui.IsType(ui.Control(d, "ErrorText"), "Text"))
    ctx.Report(Severity::Error, *ui.dialog, "Dialog", dialog_row,
               "Error dialog '" + d + "' has no Text control named ErrorText.");
  if (ui.dialog->Text(dialog_row, "Control_First") != "ErrorText")
    ctx.Report(Severity::Error, *ui.dialog, "Control_First", dialog_row,
               "Error dialog '" + d + "' must have ErrorText in its Control_First column.");
  const Row* reference = nullptr;
  static const std::pair<const char*, const char*> kButtons[] = {
      {"A", "ErrorAbort"}, {"C", "ErrorCancel"}, {"I", "ErrorIgnore"}, {"N", "ErrorNo"},
      {"O", "ErrorOk"},    {"R", "ErrorRetry"},  {"Y", "ErrorYes"}};
  for (const auto& [name, argument] : kButtons) {
    const Row* button = ui.Control(d, name);
    if (!ui.IsType(button, "PushButton")) {
      ctx.Report(Severity::Error, *ui.dialog, "Dialog", dialog_row,
                 "Error dialog '" + d + "' has no PushButton control named " + name + ".");
      continue;
    }
    if (!ui.Ends(d, name, argument))
      ctx.Report(Severity::Error, *ui.control, "Control", *button,
                 std::string("PushButton ") + name + of +
                     " has no EndDialog event with the argument " + argument + ".");
    if (!reference) {
      reference = button;
      continue;
    }
    // The installer places the buttons side by side; they must match.
    for (const char* column : {"Width", "Height", "Y"}) {
      if (ui.control->Integer(*button, column) == ui.control->Integer(*reference, column)) continue;
      ctx.Report(Severity::Error, *ui.control, column, *button,
                 std::string("PushButton ") + name + of + " differs in " + column +
                     " from button " + ui.control->Text(*reference, "Control") +
                     ": all its buttons must have the same width, height and Y.");
      break;
    }
  }
  const Row* icon = ui.Control(d, "ErrorIcon");
  if (icon && !ui.IsType(icon, "Icon"))
    ctx.Report(Severity::Error, *ui.control, "Type", *icon,
               "The ErrorIcon control" + of + " must have Icon in the Type column.");
}

void Run(Context& ctx) {
  Ui ui;
  ui.dialog = ctx.Read("Dialog");
  if (!ui.dialog) return;
  const Table* property = ctx.Read("Property");
  if (property)
    if (const Row* limit = property->Find("LIMITUI"))
      if (!property->Text(*limit, "Value").empty()) return;

  ui.control = ctx.Read("Control");
  if (ui.control)
    for (const Row& row : ui.control->rows)
      ui.controls.emplace(
          std::make_pair(ui.control->Text(row, "Dialog_"), ui.control->Text(row, "Control")), &row);
  if (const Table* event = ctx.Read("ControlEvent"))
    for (const Row& row : event->rows)
      if (SameNoCase(event->Text(row, "Event"), "EndDialog"))
        ui.events.emplace(event->Text(row, "Dialog_"), event->Text(row, "Control_"), "EndDialog",
                          event->Text(row, "Argument"));
  const bool has_list_table = ctx.Read("ListBox") != nullptr;

  for (const Row& row : ui.dialog->rows) {
    if (ui.dialog->Text(row, "Dialog") == "FilesInUse")
      CheckFilesInUse(ctx, ui, row, has_list_table);
    if (ui.dialog->Integer(row, "Attributes").value_or(0) & kErrorDialog)
      CheckErrorDialog(ctx, ui, row);
  }
  // The installer finds its error dialog through the ErrorDialog property.
  if (const Row* named = property ? property->Find("ErrorDialog") : nullptr) {
    const std::string d = property->Text(*named, "Value");
    const Row* dialog_row = ui.dialog->Find(d);
    if (!dialog_row)
      ctx.Report(
          Severity::Error, *property, "Value", *named,
          "The ErrorDialog property names dialog '" + d + "', which is not in the Dialog table.");
    else if (!(ui.dialog->Integer(*dialog_row, "Attributes").value_or(0) & kErrorDialog))
      ctx.Report(Severity::Error, *ui.dialog, "Attributes", *dialog_row,
                 "Dialog '" + d +
                     "' is named by the ErrorDialog property but does not have the Error dialog "
                     "style bit set.");
  }

  const Table* custom = ctx.Read("CustomAction");
  static const std::pair<int, const char*> kEnds[] = {
      {-1, "Exit"}, {-2, "UserExit"}, {-3, "FatalError"}};
  for (const char* name : {"AdminUISequence", "InstallUISequence"}) {
    const Table* sequence = ctx.Read(name);
    if (!sequence) continue;
    std::set<int> present;
    for (const Row& row : sequence->rows) {
      const std::string action = sequence->Text(row, "Action");
      if (ui.dialog->Find(action) || (custom && custom->Find(action)))
        if (auto seq = sequence->Integer(row, "Sequence")) present.insert(*seq);
    }
    for (const auto& [seq, dialog_name] : kEnds)
      if (!present.count(seq))
        ctx.ReportAt(Severity::Error, name, "Sequence", {},
                     std::string("The ") + name + " table has no " + dialog_name +
                         " dialog: no dialog or custom action with " + std::to_string(seq) +
                         " in the Sequence column.");
  }
}

const Registration kICE20("ICE20", Run);

}  // namespace
}  // namespace msivalidate
