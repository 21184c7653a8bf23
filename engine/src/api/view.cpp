#include "api/view.h"

#include "sql/change_statement.h"
#include "sql/parser.h"

namespace msi::api {

Result<sql::ParamValue> FieldValue(const Field& f) {
  sql::ParamValue v;
  switch (f.kind) {
    case Field::Kind::kNull: break;
    case Field::Kind::kInteger:
      v.kind = sql::ParamValue::Kind::kInteger;
      v.integer = f.integer;
      break;
    case Field::Kind::kString:
      v.kind = sql::ParamValue::Kind::kString;
      v.text = f.text;
      break;
    case Field::Kind::kStream: {
      auto bytes = f.stream->Load();
      if (!bytes.ok()) return bytes.status();
      v.kind = sql::ParamValue::Kind::kStream;
      v.stream = *bytes;
      break;
    }
  }
  return v;
}

Result<std::shared_ptr<View>> View::Open(std::shared_ptr<Database> db, std::string_view sql) {
  auto parsed = sql::Parse(sql);
  if (!parsed.ok()) return parsed.status();
  std::shared_ptr<View> view(new View());
  view->db_ = std::move(db);
  view->query_ = std::string(sql);
  view->parsed_ = std::move(*parsed);
  if (auto* select = std::get_if<sql::SelectStmt>(&view->parsed_.statement)) {
    // Constants in the select list take record fields but no place in
    // the query.
    if (!select->constants.empty()) {
      const size_t total = select->columns.size() + select->constants.size();
      std::vector<bool> constant(total, false);
      for (const sql::SelectConstant& k : select->constants) {
        constant[k.place] = true;
        view->constants_.push_back({static_cast<unsigned>(k.place) + 1, k.integer, k.value});
      }
      for (size_t f = 0; f < total; ++f) {
        if (!constant[f]) view->field_of_.push_back(static_cast<unsigned>(f) + 1);
      }
    }
    auto q = sql::SelectQuery::Prepare(*view->db_, *select);
    if (!q.ok()) return q.status();
    view->select_ = std::move(*q);
    for (size_t t = 0; t < view->select_->table_count(); ++t) {
      view->bound_widths_.push_back(view->select_->table(t)->column_count());
    }
  } else {
    MSI_RETURN_IF_ERROR(sql::CheckChangeStatement(*view->db_, view->parsed_.statement));
  }
  return view;
}

Result<std::vector<sql::ParamValue>> View::CollectParams(const Record* params, int count) {
  std::vector<sql::ParamValue> out;
  for (int i = 0; i < count; ++i) {
    const unsigned field = static_cast<unsigned>(i) + 1;
    if (params != nullptr && params->Has(field)) {
      auto v = FieldValue(params->at(field));
      if (!v.ok()) return v.status();
      out.push_back(std::move(*v));
    } else {
      out.emplace_back();
    }
  }
  return out;
}

unsigned View::FieldCount() const {
  return static_cast<unsigned>(select_->output().size() + constants_.size());
}

Status View::RebindIfColumnsChanged() {
  bool changed = false;
  for (size_t t = 0; t < select_->table_count(); ++t) {
    changed = changed || select_->table(t)->column_count() != bound_widths_[t];
  }
  if (!changed) return Status();
  cursor_.reset();
  pending_.clear();
  auto q = sql::SelectQuery::Prepare(*db_, std::get<sql::SelectStmt>(parsed_.statement));
  if (!q.ok()) return q.status();
  select_ = std::move(*q);
  for (size_t t = 0; t < select_->table_count(); ++t) bound_widths_[t] = select_->table(t)->column_count();
  return Status();
}

Status View::Execute(const Record* params) {
  auto values = CollectParams(params, parsed_.param_count);
  if (!values.ok()) return values.status();
  if (!select_) return sql::ExecuteChangeStatement(*db_, parsed_.statement, *values);
  MSI_RETURN_IF_ERROR(RebindIfColumnsChanged());
  cursor_.reset();
  pending_.clear();
  pending_.reserve(select_->table_count());  // so that taking a row cannot fail
  auto cursor = select_->Start(*db_, std::move(*values));
  if (!cursor.ok()) return cursor.status();
  cursor_ = std::move(*cursor);
  return Status();
}

Result<std::shared_ptr<Record>> View::Fetch() {
  if (!cursor_ || !select_) return Status::Error(1627, "the view has not been executed");
  MSI_RETURN_IF_ERROR(RebindIfColumnsChanged());
  if (!cursor_) return Status::Error(259, "no more rows: the table's columns changed");
  const size_t width = select_->table_count();
  for (;;) {
    if (pending_.empty()) {
      auto next = cursor_->Next();
      if (!next.ok()) return next.status();
      if (*next == nullptr) return Status::Error(259, "no more rows");
      pending_.assign(*next, *next + width);
    }
    const uint32_t* rows = pending_.data();
    // Rows deleted since the view ran are passed over.
    bool gone = false;
    for (size_t t = 0; t < width; ++t) gone = gone || rows[t] >= select_->table(t)->row_count();
    if (gone) {
      pending_.clear();
      continue;
    }

    const auto& out = select_->output();
    auto record = std::make_shared<Record>(FieldCount());
    for (size_t i = 0; i < out.size(); ++i) {
      Table* table = select_->table(out[i].table);
      const size_t row = rows[out[i].table];
      const Column& col = table->schema().columns[out[i].column];
      const uint32_t stored = table->cell(row, out[i].column);
      const unsigned field = FieldOf(i);
      if (stored == 0) continue;
      switch (col.kind()) {
        case ValueKind::kInteger:
          record->SetInteger(field, LoadInt(stored, col.short_int()));
          break;
        case ValueKind::kString:
          record->SetText(field, std::string(db_->strings().Utf8(stored)));
          break;
        case ValueKind::kBinary: {
          auto where = db_->StreamForCell(*table, row, out[i].column);
          if (!where) break;
          auto src = std::make_shared<StreamSource>();
          src->db = db_;
          src->where = *where;
          src->size = where->size;
          record->SetStream(field, std::move(src));
          break;
        }
      }
    }
    for (const Constant& k : constants_) {
      if (k.integer) record->SetInteger(k.field, k.value);
    }
    if (width == 1) {
      Table* table = select_->table(0);
      record->origin_view = this;
      record->origin_row.assign(table->row_data(rows[0]),
                                table->row_data(rows[0]) + table->column_count());
    }
    pending_.clear();  // only now: a fetch that runs out of memory gives this row again
    return record;
  }
}

Status View::Close() {
  cursor_.reset();
  pending_.clear();
  return Status();
}

Result<std::shared_ptr<Record>> View::ColumnInfo(bool types) const {
  if (!select_) return Status::Error(1627, "the statement has no result columns");
  const auto& out = select_->output();
  auto record = std::make_shared<Record>(FieldCount());
  // A constant has no name and the installer's type "f0".
  if (types) {
    for (unsigned f = 1; f <= FieldCount(); ++f) record->SetText(f, "f0");
  }
  for (size_t i = 0; i < out.size(); ++i) {
    const Column& col = select_->OutputColumn(i);
    record->SetText(FieldOf(i), types ? col.TypeText() : col.name);
  }
  return record;
}

}  // namespace msi::api
