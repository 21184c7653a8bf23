#include "transform/transform_view.h"

#include "sql/row_editor.h"

namespace msi {
namespace {

Result<Table*> ViewTable(Database& db) {
  if (db.Schema("_TransformView") == nullptr) {
    constexpr uint16_t kText = coltype::kString | coltype::kAscii | coltype::kValid | coltype::kTemporary;
    TableSchema s;
    s.name = "_TransformView";
    s.columns = {{"Table", kText | coltype::kKey},
                 {"Column", kText | coltype::kKey},
                 {"Row", kText | coltype::kKey | coltype::kNullable},
                 {"Data", kText | coltype::kNullable},
                 {"Current", kText | coltype::kNullable}};
    MSI_RETURN_IF_ERROR(db.CreateTable(s));
  }
  return db.GetTable("_TransformView");
}

sql::ParamValue Text(const std::optional<std::string>& text) {
  sql::ParamValue p;
  if (text) {
    p.kind = sql::ParamValue::Kind::kString;
    p.text = *text;
  }
  return p;
}

}  // namespace

Status AddToTransformView(Database& db, const std::vector<TransformViewRow>& rows) {
  auto view = ViewTable(db);
  if (!view.ok()) return view.status();
  sql::RowEditor editor(db, **view);
  for (const TransformViewRow& r : rows) {
    // A row whose key is there already is the same change seen again.
    editor.Insert({Text(r.table), Text(r.column), Text(r.row), Text(r.data), Text(r.current)}, true);
  }
  return Status();
}

}  // namespace msi
