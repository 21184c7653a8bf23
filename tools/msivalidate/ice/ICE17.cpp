// ICE17: what the dialogs' controls name must be there. Push buttons need
// an event; pictures need their Binary rows; list-like controls need their
// property's rows in the table that fills them.
#include <map>
#include <set>
#include <utility>

#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

constexpr int kVisible = 0x1;
constexpr int kEnabled = 0x2;
constexpr int kIndirect = 0x8;
// On push buttons, check boxes and radio button groups only: other controls
// give these bits other meanings.
constexpr int kBitmap = 0x40000;
constexpr int kIcon = 0x80000;

using Pair = std::pair<std::string, std::string>;

std::set<std::string> FirstColumn(const Table* table, const char* column) {
  std::set<std::string> keys;
  if (table)
    for (const Row& row : table->rows) keys.insert(table->Text(row, column));
  return keys;
}

// The Binary key a picture names: its text, or the value of the property a
// text of the form "[NAME]" stands for. Empty when that is set only at run
// time (nothing to check).
std::string PictureKey(const std::string& text, const Table* property) {
  if (text.size() < 3 || text.front() != '[' || text.back() != ']') return text;
  const std::string name = text.substr(1, text.size() - 2);
  const Row* row = property ? property->Find(name) : nullptr;
  return row ? property->Text(*row, "Value") : std::string();
}

void Run(Context& ctx) {
  const Table* control = ctx.Read("Control");
  if (!control) return;
  // The tables a control names are read as empty when they are absent:
  // what the control needs is then missing.
  const Table* property = ctx.Read("Property");
  const Table* radio_button = ctx.Read("RadioButton");
  const std::set<std::string> binary = FirstColumn(ctx.Read("Binary"), "Name");
  std::set<Pair> with_event;
  if (const Table* event = ctx.Read("ControlEvent"))
    for (const Row& row : event->rows)
      with_event.emplace(event->Text(row, "Dialog_"), event->Text(row, "Control_"));
  // A hidden or disabled button needs no event until a condition can show
  // or enable it.
  std::set<Pair> shown, enabled;
  if (const Table* condition = ctx.Read("ControlCondition"))
    for (const Row& row : condition->rows) {
      const std::string action = condition->Text(row, "Action");
      Pair where{condition->Text(row, "Dialog_"), condition->Text(row, "Control_")};
      if (SameNoCase(action, "Show")) shown.insert(where);
      if (SameNoCase(action, "Enable")) enabled.insert(where);
    }
  const std::set<std::string> radio_properties = FirstColumn(radio_button, "Property");
  const std::set<std::string> list_box = FirstColumn(ctx.Read("ListBox"), "Property");
  const std::set<std::string> combo_box = FirstColumn(ctx.Read("ComboBox"), "Property");
  const std::set<std::string> list_view = FirstColumn(ctx.Read("ListView"), "Property");
  // Radio buttons by their group's property, for picture groups.
  std::multimap<std::string, const Row*> buttons;
  if (radio_button)
    for (const Row& row : radio_button->rows)
      buttons.emplace(radio_button->Text(row, "Property"), &row);

  for (const Row& row : control->rows) {
    const std::string dialog = control->Text(row, "Dialog_");
    const std::string name = control->Text(row, "Control");
    const std::string type = control->Text(row, "Type");
    const int attributes = control->Integer(row, "Attributes").value_or(0);
    const std::string prop = control->Text(row, "Property");
    const std::string text = control->Text(row, "Text");
    const std::string of = " of Control: " + name + " of Dialog: " + dialog;
    const bool push_button = SameNoCase(type, "PushButton");

    const bool can_act = ((attributes & kVisible) || shown.count({dialog, name})) &&
                         ((attributes & kEnabled) || enabled.count({dialog, name}));
    if (push_button && can_act && !with_event.count({dialog, name}))
      ctx.Report(Severity::Error, *control, "Control", row,
                 "PushButton: " + name + " of Dialog: " + dialog +
                     " does not have an event defined in the ControlEvent table.");

    if (SameNoCase(type, "Bitmap") || SameNoCase(type, "Icon")) {
      const std::string key = PictureKey(text, property);
      if (!key.empty() && !binary.count(key))
        ctx.Report(Severity::Error, *control, "Text", row,
                   (SameNoCase(type, "Bitmap") ? "Bitmap: " : "Icon: ") + key + of +
                       " is not in the Binary table.");
      continue;
    }

    // A list-like control fills from the rows of its property, unless the
    // property only names the one that holds the value.
    struct Filled {
      const char* type;
      const char* table;
      const std::set<std::string>* keys;
    };
    for (const Filled& f :
         {Filled{"RadioButtonGroup", "RadioButton", &radio_properties},
          Filled{"ListBox", "ListBox", &list_box}, Filled{"ComboBox", "ComboBox", &combo_box},
          Filled{"ListView", "ListView", &list_view}}) {
      if (!SameNoCase(type, f.type) || prop.empty() || (attributes & kIndirect) ||
          f.keys->count(prop))
        continue;
      ctx.Report(Severity::Warning, *control, "Property", row,
                 std::string(f.type) + ": " + prop + of + " is not in the " + f.table + " table.");
    }

    const bool radio_group = SameNoCase(type, "RadioButtonGroup");
    if (!push_button && !radio_group && !SameNoCase(type, "CheckBox")) continue;
    const int picture = attributes & (kBitmap | kIcon);
    if (!picture) continue;
    if (picture == (kBitmap | kIcon)) {
      ctx.Report(Severity::Error, *control, "Attributes", row,
                 "Picture control: '" + name + "' of Dialog: '" + dialog +
                     "' has both the Icon and Bitmap attributes set");
      continue;
    }
    const char* kind = picture == kBitmap ? "Bitmap: '" : "Icon: '";
    const std::string suffix =
        "' for Control: '" + name + "' of Dialog: '" + dialog + "' not found in Binary table";
    if (!radio_group) {
      const std::string key = PictureKey(text, property);
      if (!key.empty() && !binary.count(key))
        ctx.Report(Severity::Error, *control, "Text", row, kind + key + suffix);
      continue;
    }
    const auto [first, last] = buttons.equal_range(prop);
    for (auto it = first; it != last; ++it) {
      const std::string key = PictureKey(radio_button->Text(*it->second, "Text"), property);
      if (!key.empty() && !binary.count(key))
        ctx.Report(Severity::Error, *radio_button, "Text", *it->second, kind + key + suffix);
    }
  }
}

const Registration kICE17("ICE17", Run);

}  // namespace
}  // namespace msivalidate
