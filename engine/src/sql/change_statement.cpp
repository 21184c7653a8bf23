#include "sql/change_statement.h"

#include <algorithm>

#include "cfb/compound_file_writer_names.h"
#include "sql/row_editor.h"
#include "sql/row_walk.h"
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
    case Operand::Kind::kNull:
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

Result<std::vector<Table*>> ExistingTables(Database& db, const std::vector<std::string>& names) {
  std::vector<Table*> tables;
  for (const std::string& name : names) {
    auto t = ExistingTable(db, name);
    if (!t.ok()) return t.status();
    tables.push_back(*t);
  }
  return tables;
}

// The columns an UPDATE sets, each with its value.
Result<std::vector<std::pair<BoundColumn, const Operand*>>> BindAssignments(
    const UpdateStmt& s, const std::vector<Table*>& tables) {
  std::vector<std::pair<BoundColumn, const Operand*>> out;
  for (const auto& [ref, value] : s.assignments) {
    auto c = BindColumn(ref, tables);
    if (!c.ok()) return c.status();
    // Keys name rows (and their streams); an UPDATE never moves a row.
    if (tables[c->table]->schema().columns[c->column].is_key()) {
      return Status::Error(1627, "UPDATE cannot change the primary key column " + ref.column);
    }
    out.emplace_back(*c, &value);
  }
  return out;
}

// One table an UPDATE changes: its column changes and the rows they go to.
struct UpdateTarget {
  int table = 0;  // in the UPDATE's table list
  std::vector<std::pair<size_t, ParamValue>> changes;
  std::vector<size_t> rows;
};

// The rows of the join that the WHERE clause selects are changed, each
// target row once however many rows of the other tables it joins. Every
// change is checked before the first is made, so that a failure leaves
// every table as it was.
Status ExecuteUpdate(Database& db, const UpdateStmt& s, const std::vector<ParamValue>& params) {
  // Checked when the view opened; a table may have been made anew since.
  auto tables = ExistingTables(db, s.tables);
  if (!tables.ok()) return tables.status();
  auto bound = BindAssignments(s, *tables);
  if (!bound.ok()) return bound.status();
  std::vector<UpdateTarget> targets;
  for (const auto& [column, value] : *bound) {
    auto t = std::find_if(targets.begin(), targets.end(),
                          [&](const UpdateTarget& u) { return u.table == column.table; });
    if (t == targets.end()) t = targets.insert(targets.end(), UpdateTarget{column.table, {}, {}});
    // Markers of the SET list come before those of the WHERE clause.
    t->changes.emplace_back(static_cast<size_t>(column.column), Resolve(*value, params));
  }
  auto join = SelectQuery::PrepareJoin(db, s.tables, s.where.get());
  if (!join.ok()) return join.status();
  {
    RowWalk walk(db, **join, params);
    while (const uint32_t* tuple = walk.Next()) {
      for (UpdateTarget& t : targets) t.rows.push_back(tuple[t.table]);
    }
  }
  for (UpdateTarget& t : targets) {
    std::sort(t.rows.begin(), t.rows.end());
    t.rows.erase(std::unique(t.rows.begin(), t.rows.end()), t.rows.end());
    MSI_RETURN_IF_ERROR(RowEditor(db, *(*tables)[t.table]).CheckUpdate(t.rows, t.changes));
  }
  // Keys are refused in SET, so no row moves: each changes in place.
  for (const UpdateTarget& t : targets) {
    RowEditor editor(db, *(*tables)[t.table]);
    for (size_t r : t.rows) MSI_RETURN_IF_ERROR(editor.Update(r, t.changes));
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
    auto tables = ExistingTables(db, s->tables);
    if (!tables.ok()) return tables.status();
    auto bound = BindAssignments(*s, *tables);
    if (!bound.ok()) return bound.status();
    if (s->where) {
      auto b = BindCondition(*s->where, *tables);
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
  if (auto* s = std::get_if<UpdateStmt>(&statement)) return ExecuteUpdate(db, *s, params);
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
