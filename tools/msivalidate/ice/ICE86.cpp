// ICE86: conditions that test AdminUser; Privileged also covers elevated
// and managed installs, which is nearly always what is meant.
#include <set>
#include <utility>

#include "condition_columns.h"
#include "evaluator.h"

namespace msivalidate {
namespace {

// AdminUser read as a property: a whole word outside quoted strings, not
// a component, feature or environment reference ($x, &x, %x and so on).
bool ReadsAdminUser(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '"') {
      const size_t end = text.find('"', i + 1);
      i = end == std::string_view::npos ? text.size() : end + 1;
    } else if (IsConditionNameChar(c) || c == '$' || c == '?' || c == '&' || c == '!' || c == '%') {
      const size_t start = i++;
      while (i < text.size() && IsConditionNameChar(text[i])) ++i;
      if (text.substr(start, i - start) == "AdminUser") return true;
    } else {
      ++i;
    }
  }
  return false;
}

void Run(Context& ctx) {
  bool described = false;
  const std::set<ColumnName> columns = ConditionColumns(ctx, &described);
  for (const auto& [name, column] : columns) {
    const Table* table = ctx.Read(name);
    if (!table || !table->Has(column)) continue;
    for (const Row& row : table->rows) {
      if (!ReadsAdminUser(table->Text(row, column))) continue;
      std::string keys;
      for (const std::string& key : table->Keys(row)) keys += (keys.empty() ? "" : ".") + key;
      ctx.Report(Severity::Warning, *table, column, row,
                 "Property `AdminUser` found in column `" + name + "`.`" + column + "` in row " +
                     keys + ". `Privileged` property is often more appropriate.");
    }
  }
}

const Registration kICE86("ICE86", Run);

}  // namespace
}  // namespace msivalidate
