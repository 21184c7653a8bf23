// ICE32: a foreign key column and the key column it refers to (through
// _Validation's KeyTable and KeyColumn) have the same type and size.
// Nullability is free: an optional reference to a required key is normal.
#include <string_view>

#include "evaluator.h"

namespace msivalidate {
namespace {

// The type string without nullability or localization: "s72", "i2", "v0".
std::string Shape(std::string_view type) {
  std::string shape(type);
  if (shape.empty()) return shape;
  char kind = static_cast<char>(shape[0] | 0x20);
  if (kind == 'l') kind = 's';  // localizable text is text
  shape[0] = kind;
  return shape;
}

void Run(Context& ctx) {
  const Table* validation = ctx.Read("_Validation");
  if (!validation || !validation->Has("Table") || !validation->Has("Column") ||
      !validation->Has("KeyTable"))
    return;
  for (const Row& row : validation->rows) {
    const std::string key_tables = validation->Text(row, "KeyTable");
    const std::string table_name = validation->Text(row, "Table");
    if (key_tables.empty() || table_name.empty() || !ctx.package().HasTable(table_name)) continue;
    const Table* table = ctx.Read(table_name);
    if (!table) continue;
    const std::string column = validation->Text(row, "Column");
    const int c = table->Column(column);
    if (c < 0) continue;  // ICE06's finding
    const int key_column = validation->Integer(row, "KeyColumn").value_or(1);
    const std::string foreign = Shape(table->types[static_cast<size_t>(c)]);
    size_t start = 0;
    while (start <= key_tables.size()) {
      size_t end = key_tables.find(';', start);
      if (end == std::string::npos) end = key_tables.size();
      const std::string key_table_name = key_tables.substr(start, end - start);
      start = end + 1;
      if (key_table_name.empty() || !ctx.package().HasTable(key_table_name)) continue;
      const Table* key_table = ctx.Read(key_table_name);
      if (!key_table || key_column < 1 || static_cast<size_t>(key_column) > key_table->columns.size())
        continue;
      const size_t k = static_cast<size_t>(key_column - 1);
      const std::string key = Shape(key_table->types[k]);
      if (foreign == key || foreign.empty() || key.empty()) continue;
      const std::string what = foreign[0] != key[0] ? "type" : "size";
      ctx.Report(Severity::Error, *validation, "KeyTable", row,
                 "Foreign key " + table_name + "." + column + " (" + table->types[static_cast<size_t>(c)] +
                     ") and the key it refers to, " + key_table_name + "." + key_table->columns[k] +
                     " (" + key_table->types[k] + "), differ in " + what + ".");
    }
  }
}

const Registration kICE32("ICE32", Run);

}  // namespace
}  // namespace msivalidate
