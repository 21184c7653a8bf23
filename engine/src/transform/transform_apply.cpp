#include "transform/transform_apply.h"

#include <map>
#include <set>
#include <unordered_map>

#include "cfb/compound_file_writer_names.h"
#include "sql/row_editor.h"
#include "sql/stored_value.h"
#include "stream_name.h"
#include "text.h"
#include "transform/transform_view.h"

namespace msi {
namespace {

using Op = TransformRecord::Op;
namespace te = transform_error;

Status Failure(const std::string& message) { return Status::Error(kTransformFailure, message); }

sql::ParamValue ToParam(const std::optional<CellValue>& cell) {
  sql::ParamValue p;
  if (!cell) return p;
  switch (cell->kind) {
    case CellValue::Kind::kNull: break;
    case CellValue::Kind::kInteger:
      p.kind = sql::ParamValue::Kind::kInteger;
      p.integer = cell->integer;
      break;
    case CellValue::Kind::kText:
      p.kind = sql::ParamValue::Kind::kString;
      p.text = cell->text;
      break;
    case CellValue::Kind::kStream:
      p.kind = sql::ParamValue::Kind::kStream;
      p.stream = cell->stream;
      break;
  }
  return p;
}

bool IsNull(const std::optional<CellValue>& cell) { return !cell || cell->is_null() ||
                                                           (cell->kind == CellValue::Kind::kText && cell->text.empty()); }

// Identity of a row's key inside one table, for rows this transform
// itself adds or removes.
std::string KeyIdentity(const TableSchema& schema, const TransformRecord& rec) {
  std::string id;
  for (size_t i = 0; i < schema.columns.size(); ++i) {
    if (!schema.columns[i].is_key()) continue;
    const auto& c = rec.cells[i];
    id += IsNull(c) ? "n" : (c->kind == CellValue::Kind::kInteger ? "i" : "s");
    if (!IsNull(c)) id += c->ToText();
    id.push_back('\x1f');
  }
  return id;
}

// The key as _TransformView shows it: values joined by tabs, a null value
// as one blank.
std::string ViewKey(const TableSchema& schema, const TransformRecord& rec) {
  std::string key;
  bool first = true;
  for (size_t i = 0; i < schema.columns.size(); ++i) {
    if (!schema.columns[i].is_key()) continue;
    if (!first) key.push_back('\t');
    first = false;
    key += IsNull(rec.cells[i]) ? std::string(" ") : rec.cells[i]->ToText();
  }
  return key;
}

struct RowAction {
  std::string table;
  Op op = Op::kInsert;  // kUpdate also stands for an insert over an existing row
  bool whole_row = false;
  TransformRecord record;
};

class Application {
 public:
  Application(Database& db, TransformFile& t, int conditions)
      : db_(db), t_(t), conditions_(conditions), view_((conditions & te::kViewTransform) != 0) {}

  Status Run() {
    MSI_RETURN_IF_ERROR(PlanCodepage());
    MSI_RETURN_IF_ERROR(PlanTables());
    MSI_RETURN_IF_ERROR(PlanColumns());
    MSI_RETURN_IF_ERROR(FinishNewTables());
    for (const std::string& table : t_.tables()) MSI_RETURN_IF_ERROR(PlanRows(table));
    return view_ ? View() : Execute();
  }

 private:
  bool Allowed(int condition) const { return view_ || (conditions_ & condition) != 0; }

  // The table's layout once this transform's schema changes are made;
  // null when it will not exist.
  const TableSchema* Layout(const std::string& name) const {
    auto it = planned_.find(name);
    if (it != planned_.end()) return &it->second;
    if (dropped_.count(name) != 0) return nullptr;
    const TableSchema* s = db_.Schema(name);
    if (s == nullptr || Database::IsCatalogTable(name) || s->temporary) return nullptr;
    return s;
  }

  Status PlanCodepage() {
    const int mine = db_.strings().codepage(), theirs = t_.codepage();
    final_codepage_ = mine;
    if (theirs == mine || theirs == 0) return Status();
    if (mine != 0 && !Allowed(te::kChangeCodepage)) {
      return Failure("the transform's codepage " + std::to_string(theirs) +
                     " differs from the database's " + std::to_string(mine));
    }
    if (!IsSupportedCodepage(theirs)) return Failure("unknown codepage " + std::to_string(theirs));
    final_codepage_ = theirs;
    return Status();
  }

  Status PlanTables() {
    if (!t_.has_table_records()) return Status();
    auto records = t_.Records("_Tables", TablesSchema());
    if (!records.ok()) return records.status();
    for (const TransformRecord& rec : *records) {
      if (IsNull(rec.cells[0])) return Failure("damaged transform: a table without a name");
      const std::string name = rec.cells[0]->text;
      if (Database::IsCatalogTable(name) || name == "_TransformView") {
        return Failure("a transform cannot add or drop " + name);
      }
      const bool exists = Layout(name) != nullptr;
      if (rec.op == Op::kDelete) {
        view_ddl_.push_back({name, "DROP", {}, {}, {}});
        if (!exists) {
          if (!Allowed(te::kDelMissingTable)) return Failure("drops the missing table " + name);
          continue;
        }
        planned_.erase(name);
        if (db_.Schema(name) != nullptr) drops_.push_back(name);
        dropped_.insert(name);
        created_.erase(name);
      } else if (rec.op == Op::kInsert) {
        view_ddl_.push_back({name, "CREATE", {}, {}, {}});
        if (exists) {
          if (!Allowed(te::kAddExistingTable)) return Failure("adds the existing table " + name);
          readded_.insert(name);
          continue;
        }
        if (!cfb::CheckEntryName(EncodeStreamName(Utf8ToUtf16(name), true)).ok()) {
          return Failure("table name " + name + " is too long to be stored");
        }
        TableSchema s;
        s.name = name;
        planned_[name] = s;
        created_.insert(name);
      } else {
        return Failure("damaged transform: _Tables records only add or drop");
      }
    }
    return Status();
  }

  Status PlanColumns() {
    if (!t_.has_column_records()) return Status();
    auto records = t_.Records("_Columns", ColumnsSchema());
    if (!records.ok()) return records.status();
    for (const TransformRecord& rec : *records) {
      if (rec.op != Op::kInsert) return Failure("damaged transform: _Columns records only add");
      if (IsNull(rec.cells[0]) || IsNull(rec.cells[2]) || IsNull(rec.cells[3])) {
        return Failure("damaged transform: a column without table, name or type");
      }
      const std::string table = rec.cells[0]->text;
      Column col;
      col.name = rec.cells[2]->text;
      col.type = static_cast<uint16_t>(rec.cells[3]->integer);
      const unsigned width = col.type & coltype::kWidthMask;
      // A stored transform holds persistent columns only.
      if ((col.kind() == ValueKind::kInteger && width != 1 && width != 2 && width != 4) ||
          col.temporary()) {
        return Failure("damaged transform: column " + col.name + " has an impossible type");
      }
      const TableSchema* layout = Layout(table);
      if (layout == nullptr) return Failure("adds column " + col.name + " to the missing table " + table);
      const size_t count = layout->columns.size();
      // Columns of a table being added come without numbers, in order.
      size_t number = count + 1;
      if (!IsNull(rec.cells[1])) {
        number = static_cast<size_t>(rec.cells[1]->integer);
      } else if (created_.count(table) != 0 || readded_.count(table) != 0) {
        number = ++sequence_[table];
      }
      std::string shown = std::to_string(number);
      view_ddl_.push_back({table, col.name, std::nullopt, std::to_string(col.type), shown});
      if (number >= 1 && number <= count) {
        // A column the table has: only an existing table added again
        // (suppressed) may repeat its definition.
        if (layout->columns[number - 1].name == col.name) continue;
        return Failure("column " + std::to_string(number) + " of " + table + " is taken");
      }
      if (number != count + 1) return Failure("damaged transform: columns of " + table + " out of order");
      if (count >= 32) return Failure("table " + table + " would have more than 32 columns");
      if (layout->Find(col.name) >= 0) return Failure("table " + table + " has a column " + col.name);
      TableSchema grown = *layout;
      grown.columns.push_back(col);
      if (created_.count(table) == 0) added_columns_.emplace_back(table, col);
      planned_[table] = std::move(grown);
    }
    return Status();
  }

  Status FinishNewTables() {
    for (const std::string& name : created_) {
      const TableSchema& s = planned_.at(name);
      if (s.columns.empty()) return Failure("new table " + name + " has no columns");
      if (s.key_count() == 0) return Failure("new table " + name + " has no primary key");
    }
    return Status();
  }

  // Whether the database holds a row with the record's key.
  // While planning, a table this transform creates has no rows yet.
  Result<long> FindRow(const std::string& table, const TableSchema& layout,
                       const TransformRecord& rec, bool planning) {
    if (planning && created_.count(table) != 0) return -1L;
    auto t = db_.GetTable(table);
    if (!t.ok()) return t.status();
    std::vector<uint32_t> probe(layout.columns.size(), 0);
    for (size_t i = 0; i < layout.columns.size() && i < (*t)->column_count(); ++i) {
      const Column& c = layout.columns[i];
      if (!c.is_key() || IsNull(rec.cells[i])) continue;
      if (c.kind() == ValueKind::kInteger) {
        probe[i] = StoreInt(rec.cells[i]->integer, c.short_int());
      } else {
        probe[i] = db_.strings().Find(rec.cells[i]->ToText());
        if (probe[i] == 0) return -1L;
      }
    }
    probe.resize((*t)->column_count());
    return (*t)->FindRowByKey(probe);
  }

  Status CheckValues(const std::string& table, const TableSchema& layout, const TransformRecord& rec,
                     bool whole_row) {
    for (size_t i = 0; i < layout.columns.size(); ++i) {
      const Column& c = layout.columns[i];
      const bool given = whole_row || rec.cells[i].has_value();
      if (!given) continue;
      if (IsNull(rec.cells[i])) {
        if (!c.nullable()) return Failure("sets column " + c.name + " of " + table + " to null, which it does not take");
        continue;
      }
      if (rec.cells[i]->kind == CellValue::Kind::kText && !IsAscii(rec.cells[i]->text)) {
        if (!converter_) converter_ = std::make_unique<CodepageConverter>(final_codepage_);
        if (!converter_->FromUtf8(rec.cells[i]->text)) {
          return Failure("text in " + table + " cannot be written in codepage " +
                         std::to_string(final_codepage_));
        }
      }
    }
    return Status();
  }

  static bool IsAscii(const std::string& s) {
    for (char c : s) {
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
  }

  Status PlanRows(const std::string& table) {
    const TableSchema* layout = Layout(table);
    if (layout == nullptr) {
      // Records of a table neither side defines cannot even be measured.
      if (view_) return Status();
      return Failure("changes rows of " + table + ", which the database does not have");
    }
    auto records = t_.Records(table, *layout);
    if (!records.ok()) return records.status();
    auto& overlay = overlay_[table];
    for (TransformRecord& rec : *records) {
      const std::string id = KeyIdentity(*layout, rec);
      bool exists;
      auto known = overlay.find(id);
      if (known != overlay.end()) {
        exists = known->second;
      } else {
        auto row = FindRow(table, *layout, rec, true);
        if (!row.ok()) return row.status();
        exists = *row >= 0;
      }
      RowAction action{table, rec.op, false, {}};
      switch (rec.op) {
        case Op::kDelete:
          if (!exists) {
            if (!Allowed(te::kDelMissingRow)) return Failure("deletes a missing row of " + table);
            if (!view_) continue;
          }
          overlay[id] = false;
          break;
        case Op::kInsert:
          if (exists) {
            if (!Allowed(te::kAddExistingRow)) return Failure("adds an existing row to " + table);
            action.op = Op::kUpdate;
            action.whole_row = true;
          }
          overlay[id] = true;
          MSI_RETURN_IF_ERROR(CheckValues(table, *layout, rec, true));
          break;
        case Op::kUpdate:
          if (!exists) {
            if (!Allowed(te::kUpdateMissingRow)) return Failure("updates a missing row of " + table);
            if (!view_) continue;
          }
          MSI_RETURN_IF_ERROR(CheckValues(table, *layout, rec, false));
          break;
      }
      action.record = std::move(rec);
      rows_.push_back(std::move(action));
    }
    return Status();
  }

  Status Execute() {
    if (final_codepage_ != db_.strings().codepage() && !db_.strings().SetCodepage(final_codepage_)) {
      return Failure("the database's strings cannot change to codepage " +
                     std::to_string(final_codepage_));
    }
    for (const std::string& name : drops_) MSI_RETURN_IF_ERROR(db_.DropTable(name));
    for (const std::string& name : created_) MSI_RETURN_IF_ERROR(db_.CreateTable(planned_.at(name)));
    for (const auto& [table, col] : added_columns_) MSI_RETURN_IF_ERROR(db_.AddColumn(table, col));
    for (const RowAction& a : rows_) {
      auto t = db_.GetTable(a.table);
      if (!t.ok()) return t.status();
      const TableSchema& layout = (*t)->schema();
      sql::RowEditor editor(db_, **t);
      auto row = FindRow(a.table, layout, a.record, false);
      if (!row.ok()) return row.status();
      switch (a.op) {
        case Op::kDelete:
          if (*row >= 0) MSI_RETURN_IF_ERROR(editor.Delete(static_cast<size_t>(*row)));
          break;
        case Op::kInsert: {
          std::vector<sql::ParamValue> values;
          for (const auto& c : a.record.cells) values.push_back(ToParam(c));
          MSI_RETURN_IF_ERROR(editor.Insert(values, false));
          break;
        }
        case Op::kUpdate: {
          if (*row < 0) break;
          std::vector<std::pair<size_t, sql::ParamValue>> changes;
          bool streams = false;
          for (size_t i = 0; i < layout.columns.size(); ++i) {
            if (layout.columns[i].is_key()) continue;
            if (a.whole_row || a.record.cells[i]) {
              changes.emplace_back(i, ToParam(a.record.cells[i]));
              streams = streams || layout.columns[i].kind() == ValueKind::kBinary;
            }
          }
          if (streams) {
            MSI_RETURN_IF_ERROR(editor.Update(static_cast<size_t>(*row), changes));
          } else {
            MSI_RETURN_IF_ERROR(SetCellsInPlace(**t, static_cast<size_t>(*row), changes));
          }
          break;
        }
      }
    }
    db_.MarkChanged();
    return Status();
  }

  // Cells that are neither key nor stream change where the row stands;
  // moving the row out and back (as a general update does) costs a copy
  // of the table per row, which a transform of thousands of rows cannot
  // afford.
  Status SetCellsInPlace(Table& t, size_t row, const std::vector<std::pair<size_t, sql::ParamValue>>& changes) {
    const auto& cols = t.schema().columns;
    for (const auto& [col, value] : changes) {
      const bool persistent = !t.row_temporary(row) && !t.schema().temporary && !cols[col].temporary();
      auto stored = sql::ToStored(db_, cols[col], value, persistent, nullptr);
      if (!stored.ok()) return stored.status();
      const uint32_t old = t.cell(row, col);
      if (cols[col].kind() == ValueKind::kString && old != 0) db_.strings().Release(old, persistent);
      t.SetCell(row, col, *stored);
    }
    return Status();
  }

  // ---- MSITRANSFORM_ERROR_VIEWTRANSFORM ----
  Status View() {
    std::vector<TransformViewRow> rows = view_ddl_;
    auto text = [](const std::optional<CellValue>& v) -> std::optional<std::string> {
      if (IsNull(v)) return std::nullopt;
      return v->ToText();
    };
    for (const RowAction& a : rows_) {
      const TableSchema& layout = *Layout(a.table);
      const std::string key = ViewKey(layout, a.record);
      if (a.record.op == Op::kDelete) {
        rows.push_back({a.table, "DELETE", key, {}, {}});
        continue;
      }
      if (a.record.op == Op::kInsert) rows.push_back({a.table, "INSERT", key, {}, {}});
      std::vector<sql::ParamValue> old;
      auto row = FindRow(a.table, layout, a.record, true);
      if (row.ok() && *row >= 0) {
        auto t = db_.GetTable(a.table);
        if (t.ok()) old = sql::RowEditor(db_, **t).Read(static_cast<size_t>(*row));
      }
      // A binary cell shows as the name of its stream.
      std::string stream_name = a.table;
      for (size_t i = 0; i < layout.columns.size(); ++i) {
        if (layout.columns[i].is_key()) stream_name += "." + (a.record.cells[i] ? a.record.cells[i]->ToText() : "");
      }
      for (size_t i = 0; i < layout.columns.size(); ++i) {
        const Column& c = layout.columns[i];
        if (c.is_key() || (a.record.op == Op::kUpdate && !a.record.cells[i])) continue;
        std::optional<std::string> data = text(a.record.cells[i]);
        if (data && a.record.cells[i]->kind == CellValue::Kind::kStream) data = stream_name;
        std::optional<std::string> current;
        if (i < old.size() && old[i].kind == sql::ParamValue::Kind::kInteger) current = std::to_string(old[i].integer);
        if (i < old.size() && old[i].kind == sql::ParamValue::Kind::kString) current = old[i].text;
        rows.push_back({a.table, c.name, key, data, current});
      }
    }
    return AddToTransformView(db_, rows);
  }

  Database& db_;
  TransformFile& t_;
  int conditions_;
  bool view_;
  int final_codepage_ = 0;
  std::unique_ptr<CodepageConverter> converter_;
  std::map<std::string, TableSchema> planned_;
  std::set<std::string> created_;
  std::set<std::string> readded_;  // added again while it exists (suppressed)
  std::map<std::string, size_t> sequence_;
  std::set<std::string> dropped_;
  std::vector<std::string> drops_;
  std::vector<std::pair<std::string, Column>> added_columns_;
  std::unordered_map<std::string, std::unordered_map<std::string, bool>> overlay_;
  std::vector<RowAction> rows_;
  std::vector<TransformViewRow> view_ddl_;
};

}  // namespace

Status ApplyTransform(Database& db, TransformFile& transform, int error_conditions) {
  return Application(db, transform, error_conditions).Run();
}

Result<std::shared_ptr<TransformFile>> OpenTransform(const Database& db, const std::string& name) {
  if (name.empty()) return Status::Error(87, "no transform named");
  if (name[0] != ':') return TransformFile::OpenPath(name);
  const auto& file = db.file();
  if (!file) return Status::Error(kTransformFailure, "the database has no embedded transforms");
  auto id = file->FindChild(cfb::CompoundFileReader::kRootId, Utf8ToUtf16(name.substr(1)));
  if (!id || file->entry(*id).type != cfb::EntryType::kStorage) {
    return Status::Error(kTransformFailure, "no embedded transform " + name.substr(1));
  }
  return TransformFile::Open(file, *id);
}

}  // namespace msi
