#include "api/view.h"

#include "sql/parser.h"

namespace msi::api {

Result<std::shared_ptr<View>> View::Open(std::shared_ptr<Database> db, std::string_view sql) {
  auto parsed = sql::Parse(sql);
  if (!parsed.ok()) return parsed.status();
  std::shared_ptr<View> view(new View());
  view->db_ = std::move(db);
  view->parsed_ = std::move(*parsed);
  if (auto* select = std::get_if<sql::SelectStmt>(&view->parsed_.statement)) {
    auto q = sql::SelectQuery::Prepare(*view->db_, *select);
    if (!q.ok()) return q.status();
    view->select_ = std::move(*q);
  }
  return view;
}

Status View::CollectParams(const Record* params, std::vector<sql::ParamValue>* out) const {
  out->clear();
  for (int i = 0; i < parsed_.param_count; ++i) {
    sql::ParamValue v;
    const unsigned field = static_cast<unsigned>(i) + 1;
    if (params != nullptr && params->Has(field)) {
      const Field& f = params->at(field);
      if (f.kind == Field::Kind::kInteger) {
        v.kind = sql::ParamValue::Kind::kInteger;
        v.integer = f.integer;
      } else if (f.kind == Field::Kind::kString) {
        v.kind = sql::ParamValue::Kind::kString;
        v.text = f.text;
      }
    }
    out->push_back(std::move(v));
  }
  return Status();
}

Status View::Execute(const Record* params) {
  if (!select_) return Status::Error(120, "changing statements are not supported yet");
  std::vector<sql::ParamValue> values;
  MSI_RETURN_IF_ERROR(CollectParams(params, &values));
  MSI_RETURN_IF_ERROR(select_->Run(*db_, values, &tuples_));
  cursor_ = 0;
  executed_ = true;
  return Status();
}

Result<std::shared_ptr<Record>> View::Fetch() {
  if (!executed_ || !select_) return Status::Error(1627, "the view has not been executed");
  const size_t width = select_->table_count();
  if (width == 0 || cursor_ >= tuples_.size() / width) {
    return Status::Error(259, "no more rows");
  }
  const uint32_t* rows = &tuples_[cursor_ * width];
  ++cursor_;
  const auto& out = select_->output();
  auto record = std::make_shared<Record>(static_cast<unsigned>(out.size()));
  for (size_t i = 0; i < out.size(); ++i) {
    Table* table = select_->table(out[i].table);
    const size_t row = rows[out[i].table];
    const Column& col = table->schema().columns[out[i].column];
    const uint32_t stored = table->cell(row, out[i].column);
    const unsigned field = static_cast<unsigned>(i) + 1;
    if (stored == 0) continue;
    switch (col.kind()) {
      case ValueKind::kInteger:
        record->SetInteger(field, LoadInt(stored, col.short_int()));
        break;
      case ValueKind::kString:
        record->SetText(field, db_->strings().Utf8(stored));
        break;
      case ValueKind::kBinary: {
        auto entry = db_->StreamEntryForCell(*table, row, out[i].column);
        if (!entry) break;
        auto src = std::make_shared<StreamSource>();
        src->db = db_;
        src->entry = *entry;
        src->size = db_->StreamSize(*entry);
        record->SetStream(field, std::move(src));
        break;
      }
    }
  }
  return record;
}

Status View::Close() {
  tuples_.clear();
  cursor_ = 0;
  executed_ = false;
  return Status();
}

Result<std::shared_ptr<Record>> View::ColumnInfo(bool types) const {
  if (!select_) return Status::Error(1627, "the statement has no result columns");
  const auto& out = select_->output();
  auto record = std::make_shared<Record>(static_cast<unsigned>(out.size()));
  for (size_t i = 0; i < out.size(); ++i) {
    const Column& col = select_->OutputColumn(i);
    record->SetText(static_cast<unsigned>(i) + 1, types ? col.TypeText() : col.name);
  }
  return record;
}

}  // namespace msi::api
