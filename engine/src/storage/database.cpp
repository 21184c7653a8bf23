#include "storage/database.h"

#include <algorithm>

#include "stream_name.h"
#include "text.h"

namespace msi {
namespace {

constexpr uint16_t kKeyString64 = coltype::kKey | coltype::kString | coltype::kAscii |
                                  coltype::kValid | 64;
constexpr uint16_t kKeyInt16 = coltype::kKey | coltype::kAscii | coltype::kValid | 2;
constexpr uint16_t kString64 = coltype::kString | coltype::kAscii | coltype::kValid | 64;
constexpr uint16_t kInt16 = coltype::kAscii | coltype::kValid | 2;
constexpr uint16_t kKeyString62 = coltype::kKey | coltype::kString | coltype::kAscii |
                                  coltype::kValid | 62;
constexpr uint16_t kBinary = coltype::kString | coltype::kValid | coltype::kNullable;

TableSchema MakeSchema(std::string name, std::vector<Column> cols) {
  TableSchema s;
  s.name = std::move(name);
  s.columns = std::move(cols);
  return s;
}

}  // namespace

const TableSchema& TablesSchema() {
  static const TableSchema s = MakeSchema("_Tables", {{"Name", kKeyString64}});
  return s;
}
const TableSchema& ColumnsSchema() {
  static const TableSchema s = MakeSchema(
      "_Columns",
      {{"Table", kKeyString64}, {"Number", kKeyInt16}, {"Name", kString64}, {"Type", kInt16}});
  return s;
}
const TableSchema& StreamsSchema() {
  static const TableSchema s = MakeSchema("_Streams", {{"Name", kKeyString62}, {"Data", kBinary}});
  return s;
}
const TableSchema& StoragesSchema() {
  static const TableSchema s = MakeSchema("_Storages", {{"Name", kKeyString62}, {"Data", kBinary}});
  return s;
}

Result<std::shared_ptr<Database>> Database::Open(const std::string& path) {
  auto image = cfb::FileImage::Map(path);
  if (!image.ok()) return image.status();
  auto cfb = cfb::CompoundFileReader::Open(*image);
  if (!cfb.ok()) return cfb.status();
  std::shared_ptr<Database> db(new Database());
  db->path_ = path;
  db->cfb_ = *cfb;
  bool has_pool = false, has_data = false;
  auto pool = db->ReadTableStream("_StringPool", &has_pool);
  if (!pool.ok()) return pool.status();
  auto data = db->ReadTableStream("_StringData", &has_data);
  if (!data.ok()) return data.status();
  if (!has_pool || !has_data) {
    return Status::Error(1620, "not a package: it has no string pool");
  }
  auto strings = StringPool::Load(*pool, *data);
  if (!strings.ok()) return strings.status();
  db->strings_ = std::move(*strings);
  db->ref_width_ = db->strings_->long_refs_flag() ? 3 : 2;
  MSI_RETURN_IF_ERROR(db->LoadCatalog());
  return db;
}

Result<std::vector<uint8_t>> Database::ReadTableStream(const std::string& table,
                                                       bool* present) const {
  *present = false;
  const std::u16string name = EncodeStreamName(Utf8ToUtf16(table), true);
  auto id = cfb_->FindChild(cfb::CompoundFileReader::kRootId, name);
  if (!id || cfb_->entry(*id).type != cfb::EntryType::kStream) return std::vector<uint8_t>();
  *present = true;
  return cfb_->ReadStream(*id);
}

Status Database::LoadCatalog() {
  bool present = false;
  auto tables_data = ReadTableStream("_Tables", &present);
  if (!tables_data.ok()) return tables_data.status();
  auto tables = Table::Decode(TablesSchema(), *tables_data, ref_width_);
  if (!tables.ok()) return tables.status();
  auto columns_data = ReadTableStream("_Columns", &present);
  if (!columns_data.ok()) return columns_data.status();
  auto columns = Table::Decode(ColumnsSchema(), *columns_data, ref_width_);
  if (!columns.ok()) return columns.status();

  for (size_t r = 0; r < (*tables)->row_count(); ++r) {
    const uint32_t id = (*tables)->cell(r, 0);
    if (!strings_->IsUsed(id)) return Status::Error(13, "_Tables names a missing string");
    table_names_.push_back(strings_->Utf8(id));
  }
  // Columns in the order of their numbers, per table.
  std::map<std::string, std::vector<std::pair<int, Column>>> cols;
  const Table& ct = **columns;
  for (size_t r = 0; r < ct.row_count(); ++r) {
    const uint32_t table_id = ct.cell(r, 0), name_id = ct.cell(r, 2);
    if (!strings_->IsUsed(table_id) || !strings_->IsUsed(name_id)) {
      return Status::Error(13, "_Columns names a missing string");
    }
    Column c;
    c.name = strings_->Utf8(name_id);
    c.type = static_cast<uint16_t>(LoadInt(ct.cell(r, 3), true));
    cols[strings_->Utf8(table_id)].emplace_back(LoadInt(ct.cell(r, 1), true), std::move(c));
  }
  for (const std::string& name : table_names_) {
    auto it = cols.find(name);
    if (it == cols.end()) continue;  // a table without columns cannot be queried
    auto& list = it->second;
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    TableSchema s;
    s.name = name;
    for (auto& [number, column] : list) s.columns.push_back(column);
    schemas_.emplace(name, std::move(s));
  }
  tables_.emplace("_Tables", std::move(*tables));
  tables_.emplace("_Columns", std::move(*columns));
  return Status();
}

const TableSchema* Database::Schema(const std::string& name) const {
  if (name == "_Tables") return &TablesSchema();
  if (name == "_Columns") return &ColumnsSchema();
  if (name == "_Streams") return &StreamsSchema();
  if (name == "_Storages") return &StoragesSchema();
  auto it = schemas_.find(name);
  return it == schemas_.end() ? nullptr : &it->second;
}

Result<Table*> Database::GetTable(const std::string& name) {
  auto it = tables_.find(name);
  if (it != tables_.end()) return it->second.get();
  std::unique_ptr<Table> table;
  if (name == "_Streams" || name == "_Storages") {
    table = BuildStreamsTable(name == "_Storages");
  } else {
    const TableSchema* schema = Schema(name);
    if (schema == nullptr) return Status::Error(1628, "no table " + name);
    bool present = false;
    auto data = ReadTableStream(name, &present);
    if (!data.ok()) return data.status();
    auto decoded = Table::Decode(*schema, *data, ref_width_);
    if (!decoded.ok()) return decoded.status();
    table = std::move(*decoded);
    // Every string a row refers to must exist, or reading it later would
    // silently give wrong text.
    const auto& columns = table->schema().columns;
    for (size_t r = 0; r < table->row_count(); ++r) {
      for (size_t c = 0; c < columns.size(); ++c) {
        const uint32_t v = table->cell(r, c);
        if (columns[c].kind() == ValueKind::kString && v != 0 && !strings_->IsUsed(v)) {
          return Status::Error(13, "table " + name + " refers to a missing string");
        }
      }
    }
  }
  Table* raw = table.get();
  tables_.emplace(name, std::move(table));
  return raw;
}

std::unique_ptr<Table> Database::BuildStreamsTable(bool storages) {
  auto table = std::make_unique<Table>(storages ? StoragesSchema() : StreamsSchema());
  const auto want = storages ? cfb::EntryType::kStorage : cfb::EntryType::kStream;
  for (uint32_t id : cfb_->Children(cfb::CompoundFileReader::kRootId)) {
    const auto& e = cfb_->entry(id);
    if (e.type != want) continue;
    bool is_table = false;
    const std::u16string name = DecodeStreamName(e.name, &is_table);
    if (is_table) continue;
    auto sid = strings_->AddRef(Utf16ToUtf8(name), false);
    if (!sid) continue;
    table->AppendRow({*sid, 1});
  }
  return table;
}

std::string Database::KeyText(const Table& table, size_t row) {
  std::string out;
  const auto& cols = table.schema().columns;
  bool first = true;
  for (size_t c = 0; c < cols.size(); ++c) {
    if (!cols[c].is_key()) continue;
    if (!first) out.push_back('.');
    first = false;
    const uint32_t v = table.cell(row, c);
    if (cols[c].kind() == ValueKind::kString) {
      out += strings_->Utf8(v);
    } else if (cols[c].kind() == ValueKind::kInteger && v != 0) {
      out += std::to_string(LoadInt(v, cols[c].short_int()));
    }
  }
  return out;
}

std::optional<uint32_t> Database::StreamEntryForCell(const Table& table, size_t row, size_t col) {
  if (table.cell(row, col) == 0) return std::nullopt;
  const std::string& tname = table.schema().name;
  const std::u16string name =
      (tname == "_Streams" || tname == "_Storages")
          ? Utf8ToUtf16(strings_->Utf8(table.cell(row, 0)))
          : Utf8ToUtf16(tname + "." + KeyText(table, row));
  // Streams the database does not manage (summary information, signatures)
  // are stored under their plain names.
  auto id = cfb_->FindChild(cfb::CompoundFileReader::kRootId, EncodeStreamName(name, false));
  if (!id) id = cfb_->FindChild(cfb::CompoundFileReader::kRootId, name);
  if (!id) return std::nullopt;
  const auto type = cfb_->entry(*id).type;
  if (type != cfb::EntryType::kStream && type != cfb::EntryType::kStorage) return std::nullopt;
  return id;
}

Result<StreamBytes> Database::ReadStream(uint32_t entry) const {
  if (cfb_->entry(entry).type != cfb::EntryType::kStream) {
    return StreamBytes(std::make_shared<const std::vector<uint8_t>>());
  }
  auto bytes = cfb_->ReadStream(entry);
  if (!bytes.ok()) return bytes.status();
  return StreamBytes(std::make_shared<const std::vector<uint8_t>>(std::move(*bytes)));
}

}  // namespace msi
