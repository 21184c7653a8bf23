// ICE86: conditions that test AdminUser; Privileged also covers elevated
// and managed installs, which is nearly always what is meant.
#include <cctype>
#include <set>
#include <utility>

#include "evaluator.h"

namespace msivalidate {
namespace {

// Condition columns when the package has no _Validation table to say.
constexpr std::pair<const char*, const char*> kConditionColumns[] = {
    {"AdminExecuteSequence", "Condition"}, {"AdminUISequence", "Condition"},
    {"AdvtExecuteSequence", "Condition"},  {"InstallExecuteSequence", "Condition"},
    {"InstallUISequence", "Condition"},    {"Component", "Condition"},
    {"Condition", "Condition"},            {"ControlCondition", "Condition"},
    {"ControlEvent", "Condition"},         {"LaunchCondition", "Condition"}};

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

// AdminUser read as a property: a whole word outside quoted strings, not
// a component, feature or environment reference ($x, &x, %x and so on).
bool ReadsAdminUser(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '"') {
      const size_t end = text.find('"', i + 1);
      i = end == std::string_view::npos ? text.size() : end + 1;
    } else if (IsNameChar(c) || c == '$' || c == '?' || c == '&' || c == '!' || c == '%') {
      const size_t start = i++;
      while (i < text.size() && IsNameChar(text[i])) ++i;
      if (text.substr(start, i - start) == "AdminUser") return true;
    } else {
      ++i;
    }
  }
  return false;
}

void Run(Context& ctx) {
  std::set<std::pair<std::string, std::string>> columns;
  if (const Table* validation = ctx.Read("_Validation")) {
    for (const Row& row : validation->rows)
      if (validation->Text(row, "Category") == "Condition")
        columns.emplace(validation->Text(row, "Table"), validation->Text(row, "Column"));
  } else {
    for (const auto& [table, column] : kConditionColumns) columns.emplace(table, column);
  }
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
