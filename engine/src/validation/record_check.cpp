#include "validation/record_check.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "msiquery.h"
#include "sql/stored_value.h"
#include "validation/category_check.h"

namespace msi::validation {
namespace {

using sql::ParamValue;

std::optional<int64_t> AsNumber(const ParamValue& v) {
  if (v.kind == ParamValue::Kind::kInteger) return v.integer;
  if (v.kind != ParamValue::Kind::kString || v.text.empty() || v.text.size() > 18) return std::nullopt;
  size_t i = v.text[0] == '-' ? 1 : 0;
  if (i == v.text.size()) return std::nullopt;
  int64_t n = 0;
  for (; i < v.text.size(); ++i) {
    const char c = v.text[i];
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return v.text[0] == '-' ? -n : n;
}

std::optional<std::string> AsText(const ParamValue& v) {
  if (v.kind == ParamValue::Kind::kString && !v.text.empty()) return v.text;
  if (v.kind == ParamValue::Kind::kInteger) return std::to_string(v.integer);
  return std::nullopt;
}

bool IsNull(const ParamValue& v) {
  return v.kind == ParamValue::Kind::kNull || (v.kind == ParamValue::Kind::kString && v.text.empty());
}

// Splits on `sep`, empty pieces included.
template <typename F>
void ForEachPiece(std::string_view s, char sep, F&& f) {
  size_t start = 0;
  while (true) {
    const size_t at = s.find(sep, start);
    if (!f(s.substr(start, at == s.npos ? s.npos : at - start))) return;
    if (at == s.npos) return;
    start = at + 1;
  }
}

// One row of _Validation, its cells read whatever their stored kind.
struct Rule {
  std::optional<std::string> nullable, key_table, category, set;
  std::optional<int64_t> min, max, key_column;
};

// The _Validation table as found: columns are looked up by name, so a
// table missing some of them still serves the others (a missing one reads
// as null).
class Rules {
 public:
  static Result<Rules> Load(Database& db) {
    if (db.Schema("_Validation") == nullptr) {
      return Status::Error(ERROR_INVALID_TABLE, "the package has no _Validation table");
    }
    auto t = db.GetTable("_Validation");
    if (!t.ok()) return t.status();
    Rules r(db, **t);
    if (r.table_col_ < 0 || r.column_col_ < 0 ||
        (*t)->schema().columns[static_cast<size_t>(r.table_col_)].kind() != ValueKind::kString) {
      return Status::Error(ERROR_INVALID_TABLE, "_Validation lacks a text Table or Column column");
    }
    return r;
  }

  std::optional<Rule> Find(const std::string& table, const std::string& column) {
    const uint32_t id = db_->strings().Find(table);
    if (id == 0) return std::nullopt;
    for (uint32_t row : v_->RowsWithValue(static_cast<size_t>(table_col_), id)) {
      const auto name = AsText(Cell(row, column_col_));
      if (name && *name == column) return Read(row);
    }
    return std::nullopt;
  }

  size_t row_count() const { return v_->row_count(); }
  std::optional<std::string> TableOf(size_t row) { return AsText(Cell(row, table_col_)); }
  std::optional<std::string> ColumnOf(size_t row) { return AsText(Cell(row, column_col_)); }
  Rule Read(size_t row) {
    Rule r;
    r.nullable = AsText(Cell(row, nullable_col_));
    r.key_table = AsText(Cell(row, key_table_col_));
    r.category = AsText(Cell(row, category_col_));
    r.set = AsText(Cell(row, set_col_));
    r.min = AsNumber(Cell(row, min_col_));
    r.max = AsNumber(Cell(row, max_col_));
    r.key_column = AsNumber(Cell(row, key_column_col_));
    return r;
  }

 private:
  Rules(Database& db, Table& v) : db_(&db), v_(&v) {
    const TableSchema& s = v.schema();
    table_col_ = s.Find("Table");
    column_col_ = s.Find("Column");
    nullable_col_ = s.Find("Nullable");
    min_col_ = s.Find("MinValue");
    max_col_ = s.Find("MaxValue");
    key_table_col_ = s.Find("KeyTable");
    key_column_col_ = s.Find("KeyColumn");
    category_col_ = s.Find("Category");
    set_col_ = s.Find("Set");
  }
  ParamValue Cell(size_t row, int col) {
    if (col < 0) return ParamValue();
    const Column& c = v_->schema().columns[static_cast<size_t>(col)];
    if (c.kind() == ValueKind::kBinary) return ParamValue();  // never a rule
    return sql::FromStored(*db_, *v_, row, static_cast<size_t>(col));
  }

  Database* db_;
  Table* v_;
  int table_col_, column_col_, nullable_col_, min_col_, max_col_, key_table_col_,
      key_column_col_, category_col_, set_col_;
};

// The stored form `v` would have in column `col` of `t`, or nullopt when
// no row can hold it there (a text the pool lacks, a number out of range).
std::optional<uint32_t> StoredForm(Database& db, const Table& t, size_t col, const ParamValue& v) {
  const Column& c = t.schema().columns[col];
  switch (c.kind()) {
    case ValueKind::kString: {
      const auto text = AsText(v);
      if (!text) return std::nullopt;
      const uint32_t id = db.strings().Find(*text);
      if (id == 0) return std::nullopt;
      return id;
    }
    case ValueKind::kInteger: {
      const auto n = AsNumber(v);
      const int64_t limit = c.short_int() ? 32767 : 2147483647;
      if (!n || *n > limit || *n < -limit) return std::nullopt;
      return StoreInt(static_cast<int32_t>(*n), c.short_int());
    }
    case ValueKind::kBinary:
      return std::nullopt;
  }
  return std::nullopt;
}

// Whether a row of `t` other than `except` holds `v` in column `col`.
bool Holds(Database& db, Table& t, size_t col, const ParamValue& v, long except) {
  const auto stored = StoredForm(db, t, col, v);
  if (!stored) return false;
  for (uint32_t row : t.RowsWithValue(col, *stored)) {
    if (static_cast<long>(row) != except) return true;
  }
  return false;
}

bool SameValue(const ParamValue& a, const ParamValue& b) {
  const auto ta = AsText(a), tb = AsText(b);
  return ta && tb && *ta == *tb;
}

class Checker {
 public:
  Checker(Database& db, Table& table, const Request& req, Rules& rules)
      : db_(db), table_(table), req_(req), rules_(rules) {}

  // The first rule column `c` breaks, or MSIDBERROR_NOERROR.
  Result<int> CheckColumn(size_t c) {
    const Column& col = table_.schema().columns[c];
    const ParamValue& v = req_.values[c];
    if (col.is_key() && (col.type & coltype::kLocalizable) != 0) return MSIDBERROR_BADLOCALIZEATTRIB;
    const auto rule = rules_.Find(table_.schema().name, col.name);
    if (!rule) return MSIDBERROR_MISSINGDATA;
    if (IsNull(v)) return rule->nullable == "Y" ? MSIDBERROR_NOERROR : MSIDBERROR_REQUIRED;
    switch (col.kind()) {
      case ValueKind::kBinary: {
        const auto cat = rule->category ? ParseCategory(*rule->category) : std::nullopt;
        return cat == Category::kBinary ? MSIDBERROR_NOERROR : MSIDBERROR_BADCATEGORY;
      }
      case ValueKind::kInteger: {
        const int64_t n = AsNumber(v).value_or(0);  // kinds were checked before
        if (rule->min && rule->max && *rule->min > *rule->max) return MSIDBERROR_BADMAXMINVALUES;
        const int64_t limit = col.short_int() ? 32767 : 2147483647;
        if (n < -limit || (rule->min && n < *rule->min)) return MSIDBERROR_UNDERFLOW;
        if (n > limit || (rule->max && n > *rule->max)) return MSIDBERROR_OVERFLOW;
        if (rule->set && !InSet(*rule->set, v)) return MSIDBERROR_NOTINSET;
        break;
      }
      case ValueKind::kString: {
        const std::string text = AsText(v).value_or(std::string());
        const unsigned width = col.type & coltype::kWidthMask;
        if (width != 0 && Characters(text) > width) return MSIDBERROR_STRINGOVERFLOW;
        if (rule->category) {
          const auto cat = ParseCategory(*rule->category);
          if (!cat) return MSIDBERROR_BADCATEGORY;
          const int code = CheckText(*cat, text);
          const bool has_link = rule->key_table && !rule->key_table->empty();
          // A Version column with a key table (File.Version) holds a version
          // or, for a companion file, the key of another row: either will do.
          if (*cat == Category::kVersion && has_link) {
            if (code == MSIDBERROR_NOERROR) return code;
            if (req_.mode == Mode::kFields) return IsIdentifier(text) ? MSIDBERROR_NOERROR : code;
            return CheckLink(*rule, c);
          }
          if (code != MSIDBERROR_NOERROR) return code;
          if (*cat == Category::kShortcut && req_.mode != Mode::kFields &&
              text.find('[') == std::string::npos && !InFeatureTable(v)) {
            return MSIDBERROR_BADSHORTCUT;
          }
        }
        if (rule->set && !InSet(*rule->set, v)) return MSIDBERROR_NOTINSET;
        break;
      }
    }
    if (req_.mode != Mode::kFields && rule->key_table && !rule->key_table->empty()) {
      return CheckLink(*rule, c);
    }
    return MSIDBERROR_NOERROR;
  }

 private:
  static size_t Characters(const std::string& utf8) {
    size_t n = 0;
    for (char ch : utf8) n += (static_cast<unsigned char>(ch) & 0xC0) != 0x80 ? 1 : 0;
    return n;
  }

  static bool InSet(const std::string& set, const ParamValue& v) {
    const auto text = AsText(v);
    bool found = false;
    ForEachPiece(set, ';', [&](std::string_view item) {
      found = text && item == *text;
      return !found;
    });
    return found;
  }

  bool InFeatureTable(const ParamValue& v) {
    if (db_.Schema("Feature") == nullptr) return true;  // nothing to hold it to
    auto t = db_.GetTable("Feature");
    return !t.ok() || (*t)->column_count() == 0 || Holds(db_, **t, 0, v, -1);
  }

  // The value must be in column KeyColumn of one of the KeyTable tables.
  Result<int> CheckLink(const Rule& rule, size_t c) {
    const ParamValue& v = req_.values[c];
    const int64_t key_column = rule.key_column.value_or(1);
    bool any_table = false, found = false;
    Status failure;
    ForEachPiece(*rule.key_table, ';', [&](std::string_view name_view) {
      const std::string name(name_view);
      const TableSchema* schema = db_.Schema(name);
      if (schema == nullptr || key_column < 1 || key_column > 32 ||
          static_cast<size_t>(key_column) > schema->columns.size()) {
        return true;
      }
      any_table = true;
      const size_t kc = static_cast<size_t>(key_column - 1);
      // A row may refer to itself (a root directory is its own parent).
      if (name == table_.schema().name && SameValue(req_.values[kc], v)) {
        found = true;
        return false;
      }
      auto t = db_.GetTable(name);
      if (!t.ok()) {
        failure = t.status();
        return false;
      }
      found = Holds(db_, **t, kc, v, -1);
      return !found;
    });
    if (!failure.ok()) return failure;
    if (found) return MSIDBERROR_NOERROR;
    return any_table ? MSIDBERROR_BADLINK : MSIDBERROR_BADKEYTABLE;
  }

  Database& db_;
  Table& table_;
  const Request& req_;
  Rules& rules_;
};

// The kinds each column takes, as MsiViewModify's other modes take them.
Status CheckKinds(const Table& table, const Request& req) {
  const auto& cols = table.schema().columns;
  for (size_t c = 0; c < cols.size(); ++c) {
    const ParamValue& v = req.values[c];
    if (IsNull(v)) continue;
    bool fits = false;
    switch (cols[c].kind()) {
      case ValueKind::kInteger: fits = AsNumber(v).has_value(); break;
      case ValueKind::kString: fits = v.kind != ParamValue::Kind::kStream; break;
      case ValueKind::kBinary: fits = v.kind == ParamValue::Kind::kStream; break;
    }
    if (!fits) {
      return Status::Error(ERROR_DATATYPE_MISMATCH, "column " + cols[c].name + " cannot hold the value");
    }
  }
  return Status();
}

// Rows of other tables (or other rows of this one) that refer to the key
// of `own`: through every _Validation foreign key naming this table alone.
Result<std::vector<ColumnError>> CheckDelete(Database& db, Table& table, const Request& req,
                                             Rules& rules) {
  std::vector<ColumnError> errors;
  const auto& cols = table.schema().columns;
  std::vector<bool> reported(cols.size(), false);
  for (size_t r = 0; r < rules.row_count(); ++r) {
    const Rule rule = rules.Read(r);
    if (!rule.key_table || *rule.key_table != table.schema().name) continue;
    const int64_t kc = rule.key_column.value_or(1);
    if (kc < 1 || static_cast<size_t>(kc) > cols.size() || reported[static_cast<size_t>(kc - 1)]) continue;
    const ParamValue& value = req.values[static_cast<size_t>(kc - 1)];
    if (IsNull(value)) continue;
    const auto from_table = rules.TableOf(r), from_column = rules.ColumnOf(r);
    if (!from_table || !from_column) continue;
    const TableSchema* schema = db.Schema(*from_table);
    if (schema == nullptr) continue;
    const int fc = schema->Find(*from_column);
    if (fc < 0) continue;
    auto t = db.GetTable(*from_table);
    if (!t.ok()) return t.status();
    const long except = *from_table == table.schema().name ? req.own_row : -1;
    if (Holds(db, **t, static_cast<size_t>(fc), value, except)) {
      reported[static_cast<size_t>(kc - 1)] = true;
      errors.push_back({MSIDBERROR_REQUIRED, cols[static_cast<size_t>(kc - 1)].name});
    }
  }
  // In column order, as the other modes report.
  std::vector<ColumnError> ordered;
  for (const Column& c : cols) {
    for (const auto& e : errors) {
      if (e.column == c.name) ordered.push_back(e);
    }
  }
  return ordered;
}

}  // namespace

Result<std::vector<ColumnError>> CheckRecord(Database& db, Table& table, const Request& req) {
  auto rules = Rules::Load(db);
  if (!rules.ok()) return rules.status();
  if (req.mode == Mode::kDelete) return CheckDelete(db, table, req, *rules);
  MSI_RETURN_IF_ERROR(CheckKinds(table, req));

  const auto& cols = table.schema().columns;
  std::vector<ColumnError> errors;
  size_t duplicate_column = cols.size();
  if (req.mode != Mode::kFields && req.key_row >= 0 && req.key_row != req.own_row) {
    for (size_t c = 0; c < cols.size() && duplicate_column == cols.size(); ++c) {
      if (cols[c].is_key()) duplicate_column = c;
    }
    if (duplicate_column < cols.size()) {
      errors.push_back({MSIDBERROR_DUPLICATEKEY, cols[duplicate_column].name});
    }
  }
  Checker checker(db, table, req, *rules);
  for (size_t c = 0; c < cols.size(); ++c) {
    if (c == duplicate_column) continue;
    if (req.mode == Mode::kFields && (c >= req.checked.size() || !req.checked[c])) continue;
    auto code = checker.CheckColumn(c);
    if (!code.ok()) return code.status();
    if (*code != MSIDBERROR_NOERROR) errors.push_back({*code, cols[c].name});
  }
  return errors;
}

}  // namespace msi::validation
