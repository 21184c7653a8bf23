#include "condition_columns.h"

namespace msivalidate {

std::set<ColumnName> ConditionColumns(Context& ctx, bool* described) {
  std::set<ColumnName> columns;
  const Table* validation = ctx.Read("_Validation");
  *described = validation != nullptr;
  if (validation) {
    for (const Row& row : validation->rows)
      if (validation->Text(row, "Category") == "Condition")
        columns.emplace(validation->Text(row, "Table"), validation->Text(row, "Column"));
    return columns;
  }
  for (const char* sequence : {"AdminExecuteSequence", "AdminUISequence", "AdvtExecuteSequence",
                               "AdvtUISequence", "InstallExecuteSequence", "InstallUISequence"})
    columns.emplace(sequence, "Condition");
  for (const char* table :
       {"Component", "Condition", "ControlCondition", "ControlEvent", "LaunchCondition"})
    columns.emplace(table, "Condition");
  return columns;
}

bool IsConditionNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.';
}

}  // namespace msivalidate
