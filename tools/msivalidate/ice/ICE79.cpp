// ICE79: the components ($name, ?name) and features (&name, !name) that
// conditions ask about exist.
#include <set>

#include "condition_columns.h"
#include "evaluator.h"

namespace msivalidate {
namespace {

std::string JoinKeys(const std::vector<std::string>& keys) {
  std::string out;
  for (const auto& k : keys) out += (out.empty() ? "" : ".") + k;
  return out;
}

void Run(Context& ctx) {
  bool described = false;
  const std::set<ColumnName> columns = ConditionColumns(ctx, &described);
  if (!described)
    ctx.ReportAt(Severity::Warning, "_Validation", "", {},
                 "Database is missing _Validation table. Could not completely check property names.");
  const Table* component = ctx.Read("Component");
  const Table* feature = ctx.Read("Feature");
  for (const auto& [table_name, column] : columns) {
    const Table* table = ctx.Read(table_name);
    if (!table || !table->Has(column)) continue;
    for (const Row& row : table->rows) {
      const std::string text = table->Text(row, column);
      for (size_t i = 0; i < text.size();) {
        const char c = text[i++];
        if (c == '"') {  // a literal: nothing in it is a reference
          const size_t close = text.find('"', i);
          i = close == std::string::npos ? text.size() : close + 1;
          continue;
        }
        const bool is_component = c == '$' || c == '?';
        if (!is_component && c != '&' && c != '!') continue;
        const size_t start = i;
        while (i < text.size() && IsConditionNameChar(text[i])) ++i;
        if (i == start) continue;
        const std::string name = text.substr(start, i - start);
        const Table* keys = is_component ? component : feature;
        if (keys && keys->Find(name)) continue;
        ctx.Report(Severity::Error, *table, column, row,
                   std::string(is_component ? "Component '" : "Feature '") + name + "' referenced in column '" +
                       table_name + "'.'" + column + "' of row " + JoinKeys(table->Keys(row)) + " is invalid.");
      }
    }
  }
}

const Registration kICE79("ICE79", Run);

}  // namespace
}  // namespace msivalidate
