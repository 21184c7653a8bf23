// ALTER TABLE ... HOLD / FREE: how long temporary tables and columns live.
// The installer counts holds per table; the FREE that leaves none takes
// the table's temporary columns away, and a table of temporary columns
// only goes with them. A persistent table outlives any number of FREEs.
#include "storage/database.h"

namespace msi {

Status Database::HoldTable(const std::string& table) {
  if (Schema(table) == nullptr) return Status::Error(1615, "unknown table " + table)
        .WithInstallerError(installer_error::kUnknownTable, {table});
  ++holds_[table];
  return Status();
}

Status Database::FreeTable(const std::string& table) {
  const TableSchema* schema = Schema(table);
  if (schema == nullptr) return Status::Error(1615, "unknown table " + table)
        .WithInstallerError(installer_error::kUnknownTable, {table});
  int& count = holds_[table];
  if (count > 0) --count;
  if (count > 0 || IsCatalogTable(table)) return Status();
  if (schema->temporary) return DropTable(table);
  return RemoveTemporaryColumns(table);
}

Status Database::RemoveTemporaryColumns(const std::string& name) {
  auto found = GetTable(name);
  if (!found.ok()) return found.status();
  Table& table = **found;
  TableSchema& schema = schemas_.at(name);
  std::vector<size_t> kept;
  for (size_t c = 0; c < schema.columns.size(); ++c) {
    if (!schema.columns[c].temporary()) kept.push_back(c);
  }
  if (kept.size() == schema.columns.size()) return Status();
  TableSchema narrow = schema;
  narrow.columns.clear();
  for (size_t c : kept) narrow.columns.push_back(schema.columns[c]);
  Table rebuilt(narrow);
  std::vector<uint32_t> values(kept.size());
  for (size_t r = 0; r < table.row_count(); ++r) {
    for (size_t c = 0; c < schema.columns.size(); ++c) {
      const uint32_t v = table.cell(r, c);
      // Temporary cells hold only non-persistent references.
      if (schema.columns[c].temporary() && schema.columns[c].kind() == ValueKind::kString && v != 0) {
        strings_->Release(v, false);
      }
    }
    for (size_t k = 0; k < kept.size(); ++k) values[k] = table.cell(r, kept[k]);
    rebuilt.AppendRow(values, table.row_temporary(r));
  }
  // In place: open views hold the table and notice the new width.
  table.ReplaceRows(std::move(rebuilt));
  schema = std::move(narrow);
  return Status();
}

}  // namespace msi
