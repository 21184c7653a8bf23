#include "sql/change_statement.h"

#include "cfb/compound_file_writer_names.h"
#include "sql/row_editor.h"
#include "stream_name.h"
#include "text.h"
#include "sql/select_query.h"

namespace msi::sql {
namespace {

Status BadQuery(const std::string& what) { return Status::Error(1615, what); }
Status UnknownColumn(const std::string& column) {
  return BadQuery("unknown column " + column).WithInstallerError(installer_error::kUnknownColumn, {column});
}

ParamValue Resolve(const Operand& op, const std::vector<ParamValue>& params) {
  ParamValue v;
  switch (op.kind) {
    case Operand::Kind::kInteger:
      v.kind = ParamValue::Kind::kInteger;
      v.integer = op.integer;
      break;
    case Operand::Kind::kString:
      v.kind = ParamValue::Kind::kString;
      v.text = op.text;
      break;
    case Operand::Kind::kParam:
      if (op.param >= 0 && static_cast<size_t>(op.param) < params.size()) v = params[op.param];
      break;
    case Operand::Kind::kColumn:
      break;
  }
  return v;
}

Result<Table*> ExistingTable(Database& db, const std::string& name) {
  if (db.Schema(name) == nullptr) return UnknownTable(name);
  return db.GetTable(name);
}

Status CheckColumns(const TableSchema& schema, const std::vector<ColumnRef>& columns) {
  for (const ColumnRef& c : columns) {
    if (!c.table.empty() && c.table != schema.name) return UnknownTable(c.table);
    if (schema.Find(c.column) < 0) return UnknownColumn(c.column);
  }
  return Status();
}

// Rows of `table` that satisfy `where`, by position.
Result<std::vector<size_t>> MatchingRows(Database& db, Table* table, const Expr* where,
                                         const std::vector<ParamValue>& params) {
  std::vector<Table*> tables{table};
  std::unique_ptr<BoundExpr> bound;
  if (where != nullptr) {
    auto b = BindCondition(*where, tables);
    if (!b.ok()) return b.status();
    bound = std::move(*b);
  }
  std::vector<size_t> rows;
  for (size_t r = 0; r < table->row_count(); ++r) {
    const uint32_t index = static_cast<uint32_t>(r);
    if (EvaluateCondition(bound.get(), db, tables, &index, params)) rows.push_back(r);
  }
  return rows;
}

Result<TableSchema> BuildSchema(const CreateStmt& s) {
  TableSchema schema;
  schema.name = s.table;
  for (const ColumnDef& def : s.columns) {
    if (schema.Find(def.name) >= 0) return BadQuery("column " + def.name + " appears twice");
    schema.columns.push_back({def.name, def.type});
  }
  for (const std::string& key : s.primary_keys) {
    const int c = schema.Find(key);
    if (c < 0) return BadQuery("primary key " + key + " is no column");
    schema.columns[c].type |= coltype::kKey;
  }
  // The installer's layout: the n-th key changes places with the column
  // in the n-th place, so keys come first and the rest follow as swapped.
  for (size_t k = 0; k < s.primary_keys.size() && k < schema.columns.size(); ++k) {
    std::swap(schema.columns[k], schema.columns[static_cast<size_t>(schema.Find(s.primary_keys[k]))]);
  }
  return schema;
}

}  // namespace

Status CheckChangeStatement(Database& db, const Statement& statement) {
  if (auto* s = std::get_if<InsertStmt>(&statement)) {
    const TableSchema* schema = db.Schema(s->table);
    if (schema == nullptr) return UnknownTable(s->table);
    return CheckColumns(*schema, s->columns);
  }
  if (auto* s = std::get_if<UpdateStmt>(&statement)) {
    auto t = ExistingTable(db, s->table);
    if (!t.ok()) return t.status();
    std::vector<ColumnRef> cols;
    for (const auto& a : s->assignments) cols.push_back(a.first);
    MSI_RETURN_IF_ERROR(CheckColumns((*t)->schema(), cols));
    // Keys name rows (and their streams); an UPDATE never moves a row.
    for (const ColumnRef& c : cols) {
      if ((*t)->schema().columns[(*t)->schema().Find(c.column)].is_key()) {
        return Status::Error(1627, "UPDATE cannot change the primary key column " + c.column);
      }
    }
    if (s->where) {
      std::vector<Table*> tables{*t};
      auto b = BindCondition(*s->where, tables);
      if (!b.ok()) return b.status();
    }
    return Status();
  }
  if (auto* s = std::get_if<DeleteStmt>(&statement)) {
    auto t = ExistingTable(db, s->table);
    if (!t.ok()) return t.status();
    if (s->where) {
      std::vector<Table*> tables{*t};
      auto b = BindCondition(*s->where, tables);
      if (!b.ok()) return b.status();
    }
    return Status();
  }
  if (auto* s = std::get_if<CreateStmt>(&statement)) {
    if (db.Schema(s->table) != nullptr) return BadQuery("table " + s->table + " exists already");
    if (!cfb::CheckEntryName(EncodeStreamName(Utf8ToUtf16(s->table), true)).ok()) {
      return BadQuery("table name " + s->table + " is too long to be stored");
    }
    auto schema = BuildSchema(*s);
    return schema.ok() ? Status() : schema.status();
  }
  if (auto* s = std::get_if<DropStmt>(&statement)) {
    return db.Schema(s->table) == nullptr ? UnknownTable(s->table) : Status();
  }
  if (auto* s = std::get_if<AlterStmt>(&statement)) {
    const TableSchema* schema = db.Schema(s->table);
    if (schema == nullptr) return UnknownTable(s->table);
    if (s->action == AlterStmt::Action::kAdd && schema->Find(s->column.name) >= 0) {
      return BadQuery("column " + s->column.name + " exists already");
    }
    return Status();
  }
  return Status();
}

Status ExecuteChangeStatement(Database& db, const Statement& statement,
                              const std::vector<ParamValue>& params) {
  if (auto* s = std::get_if<InsertStmt>(&statement)) {
    auto t = ExistingTable(db, s->table);
    if (!t.ok()) return t.status();
    const TableSchema& schema = (*t)->schema();
    std::vector<ParamValue> values(schema.columns.size());
    for (size_t i = 0; i < s->columns.size(); ++i) {
      // Checked at open, but a temporary column may have gone since.
      const int c = schema.Find(s->columns[i].column);
      if (c < 0) return UnknownColumn(s->columns[i].column);
      values[static_cast<size_t>(c)] = Resolve(s->values[i], params);
    }
    return RowEditor(db, **t).Insert(values, s->temporary);
  }
  if (auto* s = std::get_if<UpdateStmt>(&statement)) {
    auto t = ExistingTable(db, s->table);
    if (!t.ok()) return t.status();
    Table& table = **t;
    // Markers of the SET list come before those of the WHERE clause.
    std::vector<std::pair<size_t, ParamValue>> changes;
    for (const auto& [col, value] : s->assignments) {
      // Checked when the view opened; the table may have been made anew since.
      const int c = table.schema().Find(col.column);
      if (c < 0) return UnknownColumn(col.column);
      if (table.schema().columns[c].is_key()) {
        return Status::Error(1627, "UPDATE cannot change the primary key column " + col.column);
      }
      changes.emplace_back(static_cast<size_t>(c), Resolve(value, params));
    }
    auto rows = MatchingRows(db, &table, s->where.get(), params);
    if (!rows.ok()) return rows.status();
    // Keys are refused in SET, so no row moves: each changes in place.
    RowEditor editor(db, table);
    for (size_t r : *rows) MSI_RETURN_IF_ERROR(editor.Update(r, changes));
    return Status();
  }
  if (auto* s = std::get_if<DeleteStmt>(&statement)) {
    auto t = ExistingTable(db, s->table);
    if (!t.ok()) return t.status();
    auto rows = MatchingRows(db, *t, s->where.get(), params);
    if (!rows.ok()) return rows.status();
    return RowEditor(db, **t).DeleteRows(*rows);
  }
  if (auto* s = std::get_if<CreateStmt>(&statement)) {
    auto schema = BuildSchema(*s);
    if (!schema.ok()) return schema.status();
    MSI_RETURN_IF_ERROR(db.CreateTable(std::move(*schema)));
    if (s->hold) return db.HoldTable(s->table);
    // A table of temporary columns only lives while held.
    return db.Schema(s->table)->temporary ? db.DropTable(s->table) : Status();
  }
  if (auto* s = std::get_if<DropStmt>(&statement)) {
    return db.DropTable(s->table);
  }
  if (auto* s = std::get_if<AlterStmt>(&statement)) {
    if (db.Schema(s->table) == nullptr) return UnknownTable(s->table);
    if (s->action == AlterStmt::Action::kHold) return db.HoldTable(s->table);
    if (s->action == AlterStmt::Action::kFree) return db.FreeTable(s->table);
    MSI_RETURN_IF_ERROR(db.AddColumn(s->table, Column{s->column.name, s->column.type}));
    return s->hold ? db.HoldTable(s->table) : Status();
  }
  return Status::Error(1627, "not a changing statement");
}

}  // namespace msi::sql
