// ICE06: every column _Validation lists for an existing table is a column
// of that table (a _Validation table newer or older than the package's
// schema). Rows for tables the package lacks are ignored.
#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* validation = ctx.Read("_Validation");
  if (!validation || !validation->Has("Table") || !validation->Has("Column")) return;
  for (const Row& row : validation->rows) {
    const std::string table_name = validation->Text(row, "Table");
    if (table_name.empty() || !ctx.package().HasTable(table_name)) continue;
    const Table* table = ctx.Read(table_name);
    if (!table) continue;
    const std::string column = validation->Text(row, "Column");
    if (!table->Has(column))
      ctx.Report(Severity::Error, *validation, "Column", row,
                 "Column: " + column + " of Table: " + table_name + " is not defined in database.");
  }
}

const Registration kICE06("ICE06", Run);

}  // namespace
}  // namespace msivalidate
