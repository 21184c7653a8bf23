// MsiDatabaseMerge: the tables and rows of one database added to another.
// Every shared table's layout is checked before anything changes; rows
// whose key is taken by a row with other values are conflicts, counted per
// table in the error table, and the rest is merged.
#include <map>
#include <unordered_map>

#include "api/c_api_util.h"
#include "api/guard.h"
#include "api/last_error.h"
#include "api/database_object.h"
#include "msiquery.h"
#include "sql/row_editor.h"
#include "sql/stored_value.h"

using namespace msi;
using namespace msi::api;

namespace {

// Strings match whatever their width or localization, as long as both
// take nulls or neither does; every other type must be the same.
bool SameColumnType(const Column& a, const Column& b) {
  constexpr uint16_t kIgnoredForStrings = coltype::kWidthMask | coltype::kLocalizable;
  constexpr uint16_t kCompared = 0x1FFF;  // all but key and temporary
  if (a.kind() == ValueKind::kString && b.kind() == ValueKind::kString) {
    return (a.type & kCompared & ~kIgnoredForStrings) == (b.type & kCompared & ~kIgnoredForStrings);
  }
  return (a.type & kCompared) == (b.type & kCompared);
}

// Tables of different lengths merge over the columns both have.
Status CheckSameLayout(const TableSchema& target, const TableSchema& source) {
  auto mismatch = [&](const std::string& what) {
    return Status::Error(ERROR_DATATYPE_MISMATCH, "table " + target.name + ": " + what);
  };
  if (target.key_count() != source.key_count()) return mismatch("other primary keys");
  const size_t common = std::min(target.columns.size(), source.columns.size());
  for (size_t i = 0; i < common; ++i) {
    const Column& t = target.columns[i];
    const Column& s = source.columns[i];
    if (t.name != s.name) return mismatch("column " + t.name + " is " + s.name + " there");
    if (t.is_key() != s.is_key()) return mismatch("other primary keys");
    if (!SameColumnType(t, s)) return mismatch("column " + t.name + " has another type");
  }
  return Status();
}

// The key values of a row as one text, to find rows across databases.
std::string KeyText(const std::vector<sql::ParamValue>& values, const TableSchema& schema) {
  std::string key;
  for (size_t c = 0; c < schema.columns.size() && c < values.size(); ++c) {
    if (!schema.columns[c].is_key()) continue;
    const sql::ParamValue& v = values[c];
    switch (v.kind) {
      case sql::ParamValue::Kind::kNull: key += "n"; break;
      case sql::ParamValue::Kind::kInteger: key += "i" + std::to_string(v.integer); break;
      case sql::ParamValue::Kind::kString:
        key += "s" + std::to_string(v.text.size()) + ":" + v.text;
        break;
      case sql::ParamValue::Kind::kStream: key += "b"; break;
    }
    key.push_back('\x1F');
  }
  return key;
}

bool SameValues(const std::vector<sql::ParamValue>& a, const std::vector<sql::ParamValue>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind) return false;
    switch (a[i].kind) {
      case sql::ParamValue::Kind::kNull: break;
      case sql::ParamValue::Kind::kInteger:
        if (a[i].integer != b[i].integer) return false;
        break;
      case sql::ParamValue::Kind::kString:
        if (a[i].text != b[i].text) return false;
        break;
      case sql::ParamValue::Kind::kStream:
        if (*a[i].stream != *b[i].stream) return false;
        break;
    }
  }
  return true;
}

std::vector<sql::ParamValue> RowValues(Database& db, const Table& table, size_t row, size_t count) {
  std::vector<sql::ParamValue> values(count);
  for (size_t c = 0; c < count && c < table.column_count(); ++c) {
    values[c] = sql::FromStored(db, table, row, c);
  }
  return values;
}

// Adds the rows of `source` to `target`; returns the number of conflicts.
Result<int> MergeRows(Database& target_db, Table& target, Database& source_db,
                      const Table& source) {
  const size_t width = target.column_count();
  // Values, not row numbers: inserting keeps rows in key order, so row
  // numbers move.
  std::unordered_map<std::string, std::vector<sql::ParamValue>> rows_by_key;
  for (size_t r = 0; r < target.row_count(); ++r) {
    auto values = RowValues(target_db, target, r, width);
    std::string key = KeyText(values, target.schema());
    rows_by_key.emplace(std::move(key), std::move(values));
  }
  sql::RowEditor editor(target_db, target);
  int conflicts = 0;
  for (size_t r = 0; r < source.row_count(); ++r) {
    if (source.row_temporary(r)) continue;
    const std::vector<sql::ParamValue> values = RowValues(source_db, source, r, width);
    const std::string key = KeyText(values, target.schema());
    auto found = rows_by_key.find(key);
    if (found != rows_by_key.end()) {
      if (!SameValues(found->second, values)) ++conflicts;
      continue;
    }
    MSI_RETURN_IF_ERROR(editor.Insert(values, false));
    rows_by_key.emplace(key, values);
  }
  return conflicts;
}

TableSchema ErrorTableSchema(const std::string& name) {
  TableSchema schema;
  schema.name = name;
  schema.columns = {
      {"Table", static_cast<uint16_t>(coltype::kKey | coltype::kString | coltype::kAscii |
                                      coltype::kValid | 255)},
      {"NumRowMergeConflicts", static_cast<uint16_t>(coltype::kAscii | coltype::kValid | 2)},
  };
  return schema;
}

Status RecordConflicts(Database& db, const std::string& error_table,
                       const std::map<std::string, int>& conflicts) {
  if (db.Schema(error_table) == nullptr) {
    MSI_RETURN_IF_ERROR(db.CreateTable(ErrorTableSchema(error_table)));
  }
  auto table = db.GetTable(error_table);
  if (!table.ok()) return table.status();
  sql::RowEditor editor(db, **table);
  for (const auto& [name, count] : conflicts) {
    sql::ParamValue table_name, number;
    table_name.kind = sql::ParamValue::Kind::kString;
    table_name.text = name;
    number.kind = sql::ParamValue::Kind::kInteger;
    number.integer = count;
    // An error table kept from an earlier merge gets its count replaced.
    std::vector<sql::ParamValue> values((*table)->column_count());
    values[0] = table_name;
    if (values.size() > 1) values[1] = number;
    bool updated = false;
    for (size_t r = 0; r < (*table)->row_count() && !updated; ++r) {
      if (sql::FromStored(db, **table, r, 0).text == name) {
        MSI_RETURN_IF_ERROR(editor.Update(r, {{1, number}}));
        updated = true;
      }
    }
    if (!updated) MSI_RETURN_IF_ERROR(editor.Insert(values, false));
  }
  return Status();
}

UINT Merge(MSIHANDLE hDatabase, MSIHANDLE hDatabaseMerge, const char* error_table) {
  auto target_object = Find<DatabaseObject>(hDatabase);
  auto source_object = Find<DatabaseObject>(hDatabaseMerge);
  if (!target_object || !source_object) return ERROR_INVALID_HANDLE;
  if (error_table != nullptr && *error_table == '\0') return ERROR_INVALID_TABLE;
  Database& target = *target_object->db();
  Database& source = *source_object->db();

  std::vector<std::string> tables;
  for (const std::string& name : source.table_names()) {
    const TableSchema* schema = source.Schema(name);
    if (schema == nullptr || schema->temporary || Database::IsCatalogTable(name)) continue;
    if (const TableSchema* existing = target.Schema(name)) {
      const Status layout = CheckSameLayout(*existing, *schema);
      if (!layout.ok()) return layout.code();
    }
    tables.push_back(name);
  }

  std::map<std::string, int> conflicts;
  for (const std::string& name : tables) {
    if (target.Schema(name) == nullptr) {
      const Status created = target.CreateTable(*source.Schema(name));
      if (!created.ok()) return created.code();
    }
    auto source_table = source.GetTable(name);
    if (!source_table.ok()) return source_table.status().code();
    auto target_table = target.GetTable(name);
    if (!target_table.ok()) return target_table.status().code();
    auto count = MergeRows(target, **target_table, source, **source_table);
    if (!count.ok()) return count.status().code();
    if (*count > 0) conflicts[name] = *count;
  }
  target.RefreshCatalogViews();
  if (conflicts.empty()) return ERROR_SUCCESS;
  if (error_table != nullptr) {
    const Status recorded = RecordConflicts(target, error_table, conflicts);
    if (!recorded.ok()) return recorded.code();
  }
  return ERROR_FUNCTION_FAILED;
}

}  // namespace

extern "C" {

UINT MsiDatabaseMergeA(MSIHANDLE hDatabase, MSIHANDLE hDatabaseMerge, LPCSTR szTableName) {
  return GuardedRecorded([&]() -> UINT {
    return Merge(hDatabase, hDatabaseMerge, szTableName);
  });
}

UINT MsiDatabaseMergeW(MSIHANDLE hDatabase, MSIHANDLE hDatabaseMerge, LPCWSTR szTableName) {
  return GuardedRecorded([&]() -> UINT {
    const std::string name = FromWide(szTableName);
    return Merge(hDatabase, hDatabaseMerge, szTableName ? name.c_str() : nullptr);
  });
}

}  // extern "C"
