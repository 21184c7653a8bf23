// ICE34: every RadioButtonGroup control has a property with buttons in the
// RadioButton table and a default in the Property table that is one of its
// buttons' values; an indirect control's property names that property.
#include <map>
#include <set>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr int kControlIndirect = 0x8;

void Run(Context& ctx) {
  const Table* control = ctx.Read("Control");
  if (!control) return;
  const Table* radio = ctx.Read("RadioButton");
  const Table* property = ctx.Read("Property");
  std::map<std::string, std::set<std::string>> values;  // property -> its buttons' values
  if (radio)
    for (const Row& row : radio->rows)
      values[radio->Text(row, "Property")].insert(radio->Text(row, "Value"));
  auto defined = [&](const std::string& name) -> const Row* {
    return property ? property->Find(name) : nullptr;
  };
  std::set<std::string> checked;  // defaults already judged (several controls may share one)

  for (const Row& row : control->rows) {
    if (control->Text(row, "Type") != "RadioButtonGroup") continue;
    const std::string where = control->Text(row, "Dialog_") + "." + control->Text(row, "Control");
    if (control->IsNull(row, "Property")) {
      ctx.Report(Severity::Error, *control, "Property", row,
                 "Control " + where + " must have a property because it is of type RadioButtonGroup.");
      continue;
    }
    const std::string name = control->Text(row, "Property");
    const bool indirect = (control->Integer(row, "Attributes").value_or(0) & kControlIndirect) != 0;
    std::string group = name;  // the property whose value is the selection
    if (indirect) {
      const Row* via = defined(name);
      if (!via) {
        ctx.Report(Severity::Error, *control, "Property", row,
                   "Property " + name + " must be defined because it is an indirect property of a "
                   "RadioButtonGroup control " + where);
        continue;
      }
      group = property->Text(*via, "Value");
      if (!defined(group)) {
        ctx.Report(Severity::Error, *control, "Property", row,
                   "Property " + group + " must be defined because it is an indirect property of a "
                   "RadioButtonGroup control " + where);
        continue;
      }
    }
    auto buttons = values.find(group);
    if (buttons == values.end()) {
      ctx.Report(Severity::Error, *control, "Property", row,
                 "RadioButtonGroup control " + where + " uses property " + group +
                     ", which has no buttons in the RadioButton table.");
      continue;
    }
    const Row* value = defined(group);
    if (!value) {
      ctx.Report(Severity::Error, *control, "Property", row,
                 "Property " + group + " must be defined because it is the property of a "
                 "RadioButtonGroup control " + where);
      continue;
    }
    const std::string current = property->Text(*value, "Value");
    if (buttons->second.count(current) || !checked.insert(group).second) continue;
    if (indirect)
      ctx.Report(Severity::Error, *property, "Value", *value,
                 current + " is not a valid default value for the property " + group +
                     ". The property is an indirect RadioButtonGroup property of control " + where +
                     " (via property " + name + ").");
    else
      ctx.Report(Severity::Error, *property, "Value", *value,
                 current + " is not a valid default value for the RadioButtonGroup using property " +
                     group + ". The value must be listed as an option in the RadioButtonGroup table.");
  }
}

const Registration kICE34("ICE34", Run);

}  // namespace
}  // namespace msivalidate
