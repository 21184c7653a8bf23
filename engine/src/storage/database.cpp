#include "storage/database.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "cfb/compound_file_writer_names.h"
#include "stream_name.h"
#include "text.h"
#include "vector_growth.h"

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

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether the file may be written. A file without any write permission
// bit counts as read-only even for the superuser, as a read-only file does
// on other systems.
bool Writable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if ((st.st_mode & 0222) == 0) return false;
  return ::access(path.c_str(), W_OK) == 0;
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

const cfb::Clsid& PackageClsid() {
  // {000C1084-0000-0000-C000-000000000046}, stored little-endian.
  static const cfb::Clsid id = {0x84, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  return id;
}

bool Database::IsCatalogTable(const std::string& name) {
  return name == "_Tables" || name == "_Columns" || name == "_Streams" || name == "_Storages";
}

Result<std::shared_ptr<Database>> Database::Open(const std::string& path,
                                                 const OpenOptions& options) {
  std::shared_ptr<Database> db(new Database());
  db->path_ = path;
  db->options_ = options;
  const bool create = options.mode == OpenMode::kCreate || options.mode == OpenMode::kCreateDirect;
  const std::string target = options.output_path.empty() ? path : options.output_path;
  if (options.mode != OpenMode::kReadOnly || !options.output_path.empty()) {
    if (::access(DirectoryOf(target).c_str(), W_OK) != 0) {
      return Status::Error(create ? 1631 : 110, "cannot write in the folder of " + target);
    }
    if (!create && options.output_path.empty() && !Writable(path)) {
      return Status::Error(110, path + " cannot be written");
    }
    // One writer at a time; taken before the file is read, so that what is
    // read is what no other writer of this engine will change.
    auto lock = WriterLock::Acquire(target);
    if (!lock.ok()) return lock.status();
    db->writer_lock_ = std::move(*lock);
    db->target_stamp_ = cfb::FileStamp::OfPath(target);
  }
  if (!options.output_path.empty()) db->changed_ = true;  // the output must be written
  if (create) {
    // Neutral, as the installer makes it; text reads as 1252 until a
    // codepage is set.
    db->strings_ = StringPool::CreateEmpty(0);
    db->tables_.emplace("_Tables", std::make_unique<Table>(TablesSchema()));
    db->tables_.emplace("_Columns", std::make_unique<Table>(ColumnsSchema()));
    db->changed_ = true;  // a new database is written at its first commit
    return db;
  }
  auto image = cfb::FileImage::Map(path);
  if (!image.ok()) return image.status();
  // The package as it was read (not as it was a moment before).
  if (db->writer_lock_ && options.output_path.empty()) db->target_stamp_ = (*image)->stamp();
  auto cfb = cfb::CompoundFileReader::Open(*image);
  if (!cfb.ok()) return cfb.status();
  db->cfb_ = *cfb;
  bool has_pool = false, has_data = false;
  auto pool = db->ReadTableStream("_StringPool", &has_pool);
  if (!pool.ok()) return pool.status();
  auto data = db->ReadTableStream("_StringData", &has_data);
  if (!data.ok()) return data.status();
  if (!has_pool || !has_data) {
    return Status::Error(1620, "not a package: it has no string pool");
  }
  auto strings = StringPool::Load(*pool, std::move(*data));
  if (!strings.ok()) return strings.status();
  db->strings_ = std::move(*strings);
  db->ref_width_ = db->strings_->long_refs_flag() ? 3 : 2;
  MSI_RETURN_IF_ERROR(db->LoadCatalog());
  return db;
}

Result<cfb::Bytes> Database::ReadTableStream(const std::string& table, bool* present) const {
  *present = false;
  if (!cfb_) return cfb::Bytes();
  const std::u16string name = EncodeStreamName(Utf8ToUtf16(table), true);
  auto id = cfb_->FindChild(cfb::CompoundFileReader::kRootId, name);
  if (!id || cfb_->entry(*id).type != cfb::EntryType::kStream) return cfb::Bytes();
  *present = true;
  return cfb_->ShareStream(*id);
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
    table_names_.emplace_back(strings_->Utf8(id));
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
    cols[std::string(strings_->Utf8(table_id))].emplace_back(LoadInt(ct.cell(r, 1), true), std::move(c));
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
  if (!read_only() && !IsCatalogTable(name)) as_loaded_[name] = {raw, raw->generation()};
  return raw;
}

std::unique_ptr<Table> Database::BuildStreamsTable(bool storages) {
  auto table = std::make_unique<Table>(storages ? StoragesSchema() : StreamsSchema());
  std::vector<std::pair<std::u16string, std::string>> names;  // stored, decoded
  if (cfb_) {
    const auto want = storages ? cfb::EntryType::kStorage : cfb::EntryType::kStream;
    for (uint32_t id : cfb_->Children(cfb::CompoundFileReader::kRootId)) {
      const auto& e = cfb_->entry(id);
      if (e.type != want) continue;
      bool is_table = false;
      const std::string name = Utf16ToUtf8(DecodeStreamName(e.name, &is_table));
      if (is_table) continue;
      if (!storages && ReplacedByChange(name, e.name)) continue;
      names.emplace_back(e.name, name);
    }
  }
  if (!storages && !stream_changes_.empty()) {
    for (const auto& [name, bytes] : stream_changes_) {
      if (bytes) names.emplace_back(StoredStreamName(name), name);
    }
    std::stable_sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
      return cfb::CompareSiblingNames(a.first, b.first) < 0;
    });
  }
  for (const auto& entry : names) {
    auto sid = strings_->AddRef(entry.second, false);
    if (!sid) continue;
    // The installer gives a storage's Data field no stream: it reads as null.
    table->AppendRow({*sid, storages ? 0u : 1u});
  }
  return table;
}

void Database::RefreshCatalogViews() {
  // Both built whole before either changes, so that running out of memory
  // leaves the old ones.
  std::vector<std::string> names;
  const Table& t = *tables_.at("_Tables");
  names.reserve(t.row_count());
  for (size_t r = 0; r < t.row_count(); ++r) names.emplace_back(strings_->Utf8(t.cell(r, 0)));
  auto it = tables_.find("_Streams");
  // Refill in place: views may hold the table.
  if (it != tables_.end()) it->second->ReplaceRows(std::move(*BuildStreamsTable(false)));
  table_names_.swap(names);
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

std::string Database::CellStreamName(const Table& table, size_t row) {
  const std::string& tname = table.schema().name;
  if (tname == "_Streams" || tname == "_Storages") return std::string(strings_->Utf8(table.cell(row, 0)));
  return tname + "." + KeyText(table, row);
}

std::optional<StreamLocation> Database::FindStream(const std::string& name) {
  auto changed = stream_changes_.find(name);
  if (changed != stream_changes_.end()) {
    if (!changed->second) return std::nullopt;
    StreamLocation loc;
    loc.bytes = changed->second;
    loc.size = changed->second->size();
    return loc;
  }
  if (!cfb_) return std::nullopt;
  const std::u16string wide = Utf8ToUtf16(name);
  // Streams the database does not manage (summary information, signatures)
  // are stored under their plain names.
  auto id = cfb_->FindChild(cfb::CompoundFileReader::kRootId, EncodeStreamName(wide, false));
  if (!id) id = cfb_->FindChild(cfb::CompoundFileReader::kRootId, wide);
  if (!id) return std::nullopt;
  const auto type = cfb_->entry(*id).type;
  if (type != cfb::EntryType::kStream && type != cfb::EntryType::kStorage) return std::nullopt;
  StreamLocation loc;
  loc.entry = *id;
  loc.size = type == cfb::EntryType::kStream ? cfb_->StreamSize(*id) : 0;
  return loc;
}

std::optional<StreamLocation> Database::StreamForCell(const Table& table, size_t row, size_t col) {
  if (table.cell(row, col) == 0) return std::nullopt;
  return FindStream(CellStreamName(table, row));
}

Result<StreamBytes> Database::ReadStream(const StreamLocation& where) const {
  if (where.bytes) return where.bytes;
  if (!where.entry || !cfb_ || cfb_->entry(*where.entry).type != cfb::EntryType::kStream) {
    return StreamBytes(std::make_shared<const std::vector<uint8_t>>());
  }
  auto bytes = cfb_->ReadStream(*where.entry);
  if (!bytes.ok()) return bytes.status();
  return StreamBytes(std::make_shared<const std::vector<uint8_t>>(std::move(*bytes)));
}

Result<std::shared_ptr<const cfb::StreamExtents>> Database::StreamPieces(const StreamLocation& where) const {
  if (where.bytes || !where.entry || !cfb_ || cfb_->entry(*where.entry).type != cfb::EntryType::kStream) {
    return std::shared_ptr<const cfb::StreamExtents>();
  }
  return cfb_->Extents(*where.entry);
}

Status Database::CheckStreamName(const std::string& name) {
  Status st = cfb::CheckEntryName(StoredStreamName(name));
  if (!st.ok()) return Status::Error(1627, "stream name \"" + name + "\" cannot be stored: " + st.message());
  return Status();
}

bool Database::ReplacedByChange(const std::string& name, const std::u16string& stored) const {
  auto it = stream_changes_.find(name);
  if (it == stream_changes_.end()) return false;
  // A removal takes every entry of that name; new bytes replace only the
  // entry stored under the name they are written with, so a second copy
  // under the other form (packages carry the summary stream both ways)
  // is kept.
  return !it->second || stored == StoredStreamName(name);
}

std::optional<StreamLocation> Database::FindPlainStream(const std::string& name) {
  auto changed = stream_changes_.find(name);
  if (changed != stream_changes_.end() || !cfb_) return FindStream(name);
  auto id = cfb_->FindChild(cfb::CompoundFileReader::kRootId, Utf8ToUtf16(name));
  if (!id || cfb_->entry(*id).type != cfb::EntryType::kStream) return std::nullopt;
  StreamLocation loc;
  loc.entry = *id;
  loc.size = cfb_->StreamSize(*id);
  return loc;
}

void Database::PutStream(const std::string& name, StreamBytes bytes) {
  if (!bytes) bytes = std::make_shared<const std::vector<uint8_t>>();
  stream_changes_[name] = std::move(bytes);
  changed_ = true;
  RefreshCatalogViews();
}

void Database::RemoveStream(const std::string& name) {
  stream_changes_[name] = nullptr;
  changed_ = true;
  RefreshCatalogViews();
}

Status Database::CreateTable(TableSchema schema) {
  if (Schema(schema.name) != nullptr) {
    return Status::Error(1627, "table " + schema.name + " exists already");
  }
  if (schema.columns.empty() || schema.columns.size() > 32) {
    return Status::Error(1615, "a table needs 1 to 32 columns");
  }
  if (!cfb::CheckEntryName(EncodeStreamName(Utf8ToUtf16(schema.name), true)).ok()) {
    return Status::Error(1615, "table name " + schema.name + " is too long to be stored");
  }
  bool all_temporary = true;
  for (const Column& c : schema.columns) all_temporary = all_temporary && c.temporary();
  for (const Column& c : schema.columns) {
    if (!all_temporary && c.is_key() && c.temporary()) {
      return Status::Error(1627, "a temporary key column needs every column temporary");
    }
  }
  schema.temporary = all_temporary;
  const bool persistent = !schema.temporary;
  // Running out of memory part-way takes every change out again (string
  // references left over are harmless: a commit recounts them).
  Table& tables = *tables_.at("_Tables");
  Table& columns = *tables_.at("_Columns");
  std::vector<std::pair<Table*, size_t>> inserted;  // rows added, in order
  inserted.reserve(schema.columns.size() + 1);
  const std::string name = schema.name;
  bool registered = false;
  try {
    auto table_id = strings_->AddRef(schema.name, persistent);
    if (!table_id) return Status::Error(1629, "table name not representable in the codepage");
    std::vector<uint32_t> name_ids(schema.columns.size(), 0);
    for (size_t i = 0; i < schema.columns.size(); ++i) {
      const Column& c = schema.columns[i];
      if (c.temporary()) continue;  // the installer lists only persistent columns
      auto name_id = strings_->AddRef(c.name, persistent);
      if (!name_id) return Status::Error(1629, "column name not representable in the codepage");
      strings_->AddRef(schema.name, persistent);
      name_ids[i] = *name_id;
    }
    inserted.emplace_back(&tables, tables.InsertRow({*table_id}, !persistent));
    for (size_t i = 0; i < schema.columns.size(); ++i) {
      if (schema.columns[i].temporary()) continue;
      inserted.emplace_back(
          &columns, columns.InsertRow({*table_id, StoreInt(static_cast<int32_t>(i + 1), true),
                                       name_ids[i],
                                       StoreInt(static_cast<int16_t>(schema.columns[i].type), true)},
                                      !persistent));
    }
    auto table = std::make_unique<Table>(schema);
    registered = true;
    tables_[name] = std::move(table);
    schemas_[name] = std::move(schema);
    RefreshCatalogViews();
  } catch (...) {
    for (auto it = inserted.rbegin(); it != inserted.rend(); ++it) it->first->DeleteRow(it->second);
    if (registered) {
      tables_.erase(name);
      schemas_.erase(name);
    }
    throw;
  }
  dropped_tables_.erase(name);
  changed_ = changed_ || persistent;
  return Status();
}

Status Database::DropTable(const std::string& name) {
  if (IsCatalogTable(name)) return Status::Error(1627, "system tables cannot be dropped");
  auto table = GetTable(name);
  if (!table.ok()) return table.status();
  Table& t = **table;
  // Everything that needs memory first, then the changes, which need none:
  // running out of memory leaves the table as it was.
  ReserveOneMore(dropped_);
  std::vector<size_t> all(t.row_count());  // every row, taken out in one pass
  for (size_t r = 0; r < all.size(); ++r) all[r] = r;
  dropped_tables_.insert(name);  // harmless while the table still exists
  const uint32_t id = strings_->Find(name);
  std::map<std::string, StreamBytes> removed;  // the streams of binary cells
  const auto& cols = t.schema().columns;
  for (size_t r = 0; r < t.row_count(); ++r) {
    for (size_t c = 0; c < cols.size(); ++c) {
      if (cols[c].kind() == ValueKind::kBinary && t.cell(r, c) != 0) {
        removed.emplace(CellStreamName(t, r), nullptr);
      }
    }
  }
  for (auto& [stream, bytes] : stream_changes_) {
    if (removed.count(stream) != 0) bytes = nullptr;
  }
  stream_changes_.merge(removed);  // moves the other entries over, allocating nothing
  Table& tables = *tables_.at("_Tables");
  for (size_t r = tables.row_count(); r-- > 0;) {
    if (tables.cell(r, 0) == id) tables.DeleteRow(r);
  }
  Table& columns = *tables_.at("_Columns");
  for (size_t r = columns.row_count(); r-- > 0;) {
    if (columns.cell(r, 0) == id) columns.DeleteRow(r);
  }
  // Views may still point at the table: empty it and keep the object.
  t.DeleteRows(all);
  const bool persistent = !schemas_.at(name).temporary;
  schemas_.erase(name);
  holds_.erase(name);
  auto it = tables_.find(name);
  dropped_.push_back(std::move(it->second));
  tables_.erase(it);
  changed_ = changed_ || persistent;
  RefreshCatalogViews();
  return Status();
}

Status Database::AddColumn(const std::string& table_name, const Column& column) {
  auto table = GetTable(table_name);
  if (!table.ok()) return table.status();
  if (IsCatalogTable(table_name)) return Status::Error(1627, "system tables cannot change");
  TableSchema& schema = schemas_.at(table_name);
  if (schema.Find(column.name) >= 0) return Status::Error(1615, "column " + column.name + " exists already");
  if (schema.columns.size() >= 32) return Status::Error(1627, "a table has at most 32 columns");
  const bool persistent = !schema.temporary && !column.temporary();
  auto table_id = strings_->AddRef(table_name, persistent);
  auto name_id = strings_->AddRef(column.name, persistent);
  if (!table_id || !name_id) return Status::Error(1629, "name not representable in the codepage");
  // In an order that running out of memory part-way cannot leave half
  // done: each step that may fail comes before the ones that cannot.
  schema.columns.reserve(schema.columns.size() + 1);
  Table& columns = *tables_.at("_Columns");
  std::optional<size_t> row;
  if (!column.temporary()) {  // the installer lists only persistent columns
    row = columns.InsertRow(
        {*table_id, StoreInt(static_cast<int32_t>(schema.columns.size() + 1), true), *name_id,
         StoreInt(static_cast<int16_t>(column.type), true)},
        !persistent);
  }
  try {
    (*table)->AddColumn(column);
  } catch (...) {
    if (row) columns.DeleteRow(*row);
    throw;
  }
  schema.columns.push_back(column);
  changed_ = changed_ || persistent;
  RefreshCatalogViews();
  return Status();
}

std::u16string StoredStreamName(const std::string& name) {
  const std::u16string wide = Utf8ToUtf16(name);
  // Names that start with a control character (\005SummaryInformation) are
  // the system's own and are kept as they are.
  if (!wide.empty() && wide[0] < 0x20) return wide;
  return EncodeStreamName(wide, false);
}

}  // namespace msi
