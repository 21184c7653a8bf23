// MsiViewModify: changing rows through the records of a one-table view.
#include <optional>

#include "api/view.h"
#include "msiquery.h"
#include "sql/row_editor.h"
#include "sql/stored_value.h"

namespace msi::api {
namespace {

Status Failed(const std::string& what) { return Status::Error(1627, what); }

bool SameValue(const sql::ParamValue& a, const sql::ParamValue& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case sql::ParamValue::Kind::kNull: return true;
    case sql::ParamValue::Kind::kInteger: return a.integer == b.integer;
    case sql::ParamValue::Kind::kString: return a.text == b.text;
    case sql::ParamValue::Kind::kStream: return *a.stream == *b.stream;
  }
  return false;
}

// The stored key a record's values name, as a full row with the key
// columns set; nullopt when no stored row can hold these values (a value
// of another kind, a text the pool lacks, a number beyond the column).
std::optional<std::vector<uint32_t>> StoredKey(Database& db, const Table& table,
                                               const std::vector<sql::ParamValue>& values) {
  const auto& cols = table.schema().columns;
  std::vector<uint32_t> key(cols.size(), 0);
  for (size_t c = 0; c < cols.size(); ++c) {
    if (!cols[c].is_key()) continue;
    const sql::ParamValue& v = values[c];
    if (v.kind == sql::ParamValue::Kind::kNull) continue;
    if (cols[c].kind() == ValueKind::kInteger && v.kind == sql::ParamValue::Kind::kInteger) {
      if (cols[c].short_int() && (v.integer < -32768 || v.integer > 32767)) return std::nullopt;
      key[c] = StoreInt(v.integer, cols[c].short_int());
      if (key[c] == 0) return std::nullopt;
    } else if (cols[c].kind() == ValueKind::kString && v.kind == sql::ParamValue::Kind::kString) {
      key[c] = db.strings().Find(v.text);
      if (key[c] == 0) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return key;
}

}  // namespace

Result<Table*> View::ModifyTable() const {
  if (!select_ || select_->table_count() != 1) {
    return Failed("records can only change views of one table");
  }
  return select_->table(0);
}

// One value per column of the table; columns outside the view are null.
std::vector<sql::ParamValue> View::RecordValues(const Record& record) const {
  Table* table = select_->table(0);
  std::vector<sql::ParamValue> values(table->column_count());
  const auto& out = select_->output();
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned field = FieldOf(i);
    if (!record.Has(field)) continue;
    auto v = FieldValue(record.at(field));
    if (v.ok()) values[out[i].column] = std::move(*v);
  }
  return values;
}

void View::FillRecord(Record& record, Table& table, size_t row) {
  const auto& out = select_->output();
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned field = FieldOf(i);
    if (!record.Has(field)) continue;
    const sql::ParamValue v = sql::FromStored(*db_, table, row, out[i].column);
    switch (v.kind) {
      case sql::ParamValue::Kind::kNull: record.SetNull(field); break;
      case sql::ParamValue::Kind::kInteger: record.SetInteger(field, v.integer); break;
      case sql::ParamValue::Kind::kString: record.SetText(field, v.text); break;
      case sql::ParamValue::Kind::kStream: {
        auto src = std::make_shared<StreamSource>();
        src->bytes = v.stream;
        src->size = v.stream->size();
        record.SetStream(field, std::move(src));
        break;
      }
    }
  }
  record.origin_view = this;
  record.origin_row.assign(table.row_data(row), table.row_data(row) + table.column_count());
}

long View::RowOfKey(Table& table, const std::vector<sql::ParamValue>& values) const {
  const auto& cols = table.schema().columns;
  bool binary_key = false;
  for (const Column& c : cols) binary_key = binary_key || (c.is_key() && c.kind() == ValueKind::kBinary);
  // A search of the sorted keys, so that changing many rows by key stays
  // linear in their number.
  if (!binary_key) {
    const auto key = StoredKey(*db_, table, values);
    return key ? table.FindRowByKey(*key) : -1;
  }
  for (size_t r = 0; r < table.row_count(); ++r) {
    bool same = true;
    for (size_t c = 0; c < cols.size() && same; ++c) {
      if (cols[c].is_key()) same = SameValue(sql::FromStored(*db_, table, r, c), values[c]);
    }
    if (same) return static_cast<long>(r);
  }
  return -1;
}

long View::FetchedRow(const Record& record, const Table& table) const {
  if (record.origin_view != this || record.origin_row.size() != table.column_count()) return -1;
  return table.FindRowByKey(record.origin_row);
}

Status View::Validate(int mode, Record& record, Table& table) {
  const auto& cols = table.schema().columns;
  validation::Request req;
  req.values = RecordValues(record);
  switch (mode) {
    case MSIMODIFY_VALIDATE: {
      req.mode = validation::Mode::kUpdate;
      req.own_row = FetchedRow(record, table);
      if (req.own_row < 0) return Failed("the record was not fetched from this view");
      // Columns outside the view keep what the row holds.
      std::vector<bool> in_view(cols.size(), false);
      for (const auto& o : select_->output()) in_view[static_cast<size_t>(o.column)] = true;
      for (size_t c = 0; c < cols.size(); ++c) {
        if (!in_view[c]) req.values[c] = sql::FromStored(*db_, table, static_cast<size_t>(req.own_row), c);
      }
      break;
    }
    case MSIMODIFY_VALIDATE_NEW: req.mode = validation::Mode::kNew; break;
    case MSIMODIFY_VALIDATE_DELETE:
      req.mode = validation::Mode::kDelete;
      req.own_row = FetchedRow(record, table);
      if (req.own_row < 0) req.own_row = RowOfKey(table, req.values);
      break;
    default: {
      req.mode = validation::Mode::kFields;
      req.checked.assign(cols.size(), false);
      const auto& out = select_->output();
      for (size_t i = 0; i < out.size(); ++i) {
        const unsigned field = FieldOf(i);
        req.checked[static_cast<size_t>(out[i].column)] =
            record.Has(field) && record.at(field).kind != Field::Kind::kNull;
      }
      break;
    }
  }
  if (req.mode == validation::Mode::kUpdate || req.mode == validation::Mode::kNew) {
    req.key_row = RowOfKey(table, req.values);
  }
  auto errors = validation::CheckRecord(*db_, table, req);
  if (!errors.ok()) return errors.status();
  errors_ = std::move(*errors);
  if (errors_.empty()) return Status();
  return Status::Error(ERROR_INVALID_DATA, "the record breaks the package's validation rules");
}

Status View::Modify(int mode, Record& record) {
  errors_.clear();
  next_error_ = 0;
  if (mode < MSIMODIFY_SEEK || mode > MSIMODIFY_VALIDATE_DELETE) {
    return Status::Error(87, "unknown modify mode");
  }
  auto t = ModifyTable();
  if (!t.ok()) return t.status();
  Table& table = **t;
  const auto& cols = table.schema().columns;
  // Every key column must be in the view for a record to name a row.
  for (size_t c = 0; c < cols.size() && mode != MSIMODIFY_VALIDATE_FIELD; ++c) {
    if (!cols[c].is_key()) continue;
    bool present = false;
    for (const auto& o : select_->output()) present = present || o.column == static_cast<int>(c);
    if (!present) return Failed("the view lacks a key column");
  }
  if (mode >= MSIMODIFY_VALIDATE) return Validate(mode, record, table);
  sql::RowEditor editor(*db_, table);
  const std::vector<sql::ParamValue> values = RecordValues(record);

  auto row_of_key = [&]() { return RowOfKey(table, values); };
  auto fetched_row = [&]() { return FetchedRow(record, table); };
  auto update_row = [&](size_t row) {
    std::vector<std::pair<size_t, sql::ParamValue>> changes;
    for (const auto& o : select_->output()) changes.emplace_back(o.column, values[o.column]);
    return editor.Update(row, changes);
  };

  switch (mode) {
    case MSIMODIFY_SEEK: {
      const long r = row_of_key();
      if (r < 0) return Failed("no row with this key");
      FillRecord(record, table, static_cast<size_t>(r));
      return Status();
    }
    case MSIMODIFY_REFRESH: {
      const long r = fetched_row();
      if (r < 0) return Failed("the record was not fetched from this view");
      FillRecord(record, table, static_cast<size_t>(r));
      return Status();
    }
    case MSIMODIFY_INSERT:
    case MSIMODIFY_INSERT_TEMPORARY:
      return editor.Insert(values, mode == MSIMODIFY_INSERT_TEMPORARY);
    case MSIMODIFY_UPDATE: {
      const long r = fetched_row();
      if (r < 0) return Failed("the record was not fetched from this view");
      for (size_t c = 0; c < cols.size(); ++c) {
        if (cols[c].is_key() && !SameValue(sql::FromStored(*db_, table, r, c), values[c])) {
          return Failed("UPDATE cannot change a primary key");
        }
      }
      return update_row(static_cast<size_t>(r));
    }
    case MSIMODIFY_ASSIGN: {
      const long r = row_of_key();
      if (r < 0) return editor.Insert(values, false);
      return update_row(static_cast<size_t>(r));
    }
    case MSIMODIFY_REPLACE: {
      long r = fetched_row();
      if (r < 0) r = row_of_key();
      if (r < 0) return editor.Insert(values, false);
      return update_row(static_cast<size_t>(r));
    }
    case MSIMODIFY_MERGE: {
      const long r = row_of_key();
      if (r < 0) return editor.Insert(values, false);
      for (size_t c = 0; c < cols.size(); ++c) {
        if (!SameValue(sql::FromStored(*db_, table, r, c), values[c])) {
          return Failed("a row with this key holds other values");
        }
      }
      return Status();
    }
    case MSIMODIFY_DELETE: {
      long r = fetched_row();
      if (r < 0) r = row_of_key();
      if (r < 0) return Failed("no row with this key");
      return editor.Delete(static_cast<size_t>(r));
    }
    default:
      return Status::Error(87, "unknown modify mode");
  }
}

}  // namespace msi::api
