#include "transform/transform_file.h"

#include "cfb/file_image.h"
#include "stream_name.h"
#include "text.h"

namespace msi {
namespace {

Status Damaged(const std::string& what) {
  return Status::Error(kTransformFailure, "damaged transform: " + what);
}

uint32_t ReadLe(const uint8_t* p, unsigned width) {
  uint32_t v = 0;
  for (unsigned i = 0; i < width; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}

// Bytes one cell takes in a record.
unsigned CellWidth(const Column& c, unsigned ref_width) { return c.StoredWidth(ref_width); }

}  // namespace

const cfb::Clsid& TransformClsid() {
  // {000C1082-0000-0000-C000-000000000046}, stored little-endian.
  static const cfb::Clsid id = {0x82, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  return id;
}

Result<std::shared_ptr<TransformFile>> TransformFile::OpenPath(const std::string& path) {
  auto image = cfb::FileImage::Map(path);
  if (!image.ok()) return Status::Error(110, "cannot read the transform " + path);
  auto file = cfb::CompoundFileReader::Open(*image);
  if (!file.ok()) return Status::Error(kTransformFailure, path + " is not a transform");
  return Open(*file, cfb::CompoundFileReader::kRootId);
}

Result<std::shared_ptr<TransformFile>> TransformFile::Open(
    std::shared_ptr<const cfb::CompoundFileReader> file, uint32_t storage) {
  if (file->entry(storage).clsid != TransformClsid()) {
    return Status::Error(kTransformFailure, "not a transform (wrong storage class)");
  }
  std::shared_ptr<TransformFile> t(new TransformFile());
  t->file_ = std::move(file);
  t->storage_ = storage;
  auto pool = t->TableStream("_StringPool");
  if (!pool.ok()) return pool.status();
  auto data = t->TableStream("_StringData");
  if (!data.ok()) return data.status();
  if (pool->size() % 4 != 0) return Damaged("string pool size");
  auto strings = StringPool::Load(*pool, std::move(*data));
  if (!strings.ok()) return Damaged(strings.status().message());
  t->strings_ = std::move(*strings);
  t->ref_width_ = t->strings_->long_refs_flag() ? 3 : 2;
  for (uint32_t id : t->file_->Children(storage)) {
    const auto& e = t->file_->entry(id);
    if (e.type != cfb::EntryType::kStream) continue;
    bool is_table = false;
    const std::string name = Utf16ToUtf8(DecodeStreamName(e.name, &is_table));
    if (!is_table || name == "_StringPool" || name == "_StringData") continue;
    if (name == "_Tables") {
      t->has_tables_stream_ = true;
    } else if (name == "_Columns") {
      t->has_columns_stream_ = true;
    } else {
      t->tables_.push_back(name);
    }
  }
  return t;
}

Result<std::vector<uint8_t>> TransformFile::TableStream(const std::string& table) const {
  const auto id = file_->FindChild(storage_, EncodeStreamName(Utf8ToUtf16(table), true));
  if (!id || file_->entry(*id).type != cfb::EntryType::kStream) return std::vector<uint8_t>();
  auto bytes = file_->ReadStream(*id);
  if (!bytes.ok()) return Damaged(bytes.status().message());
  return bytes;
}

Result<StreamBytes> TransformFile::CellStream(const std::string& name) const {
  const std::u16string wide = Utf8ToUtf16(name);
  auto id = file_->FindChild(storage_, EncodeStreamName(wide, false));
  if (!id) id = file_->FindChild(storage_, wide);
  if (!id || file_->entry(*id).type != cfb::EntryType::kStream) {
    return Damaged("the stream of binary cell " + name + " is missing");
  }
  auto bytes = file_->ReadStream(*id);
  if (!bytes.ok()) return Damaged(bytes.status().message());
  return StreamBytes(std::make_shared<const std::vector<uint8_t>>(std::move(*bytes)));
}

Result<CellValue> TransformFile::ReadCell(const Column& column, const uint8_t* p,
                                          unsigned ref_width) {
  const uint32_t v = ReadLe(p, CellWidth(column, ref_width));
  switch (column.kind()) {
    case ValueKind::kString:
      if (v == 0) return CellValue::Null();
      if (!strings_->IsUsed(v)) return Damaged("a record refers to a missing string");
      return CellValue::Text(std::string(strings_->Utf8(v)));
    case ValueKind::kInteger:
      if (v == 0) return CellValue::Null();
      return CellValue::Integer(LoadInt(v, column.short_int()));
    case ValueKind::kBinary:
      // Filled in once the key is known: the stream is named after it.
      return CellValue::Null();
  }
  return CellValue::Null();
}

Result<std::vector<TransformRecord>> TransformFile::Records(const std::string& table,
                                                            const TableSchema& layout) {
  auto data = TableStream(table);
  if (!data.ok()) return data.status();
  const auto& cols = layout.columns;
  std::vector<TransformRecord> out;
  size_t n = 0;
  while (n < data->size()) {
    if (data->size() - n < 2) return Damaged("record of " + table + " cut short");
    const uint16_t mask = static_cast<uint16_t>(ReadLe(data->data() + n, 2));
    n += 2;
    TransformRecord rec;
    rec.cells.resize(cols.size());
    std::vector<bool> present(cols.size(), false);
    if (mask & 1) {
      const size_t count = mask >> 8;
      if (count == 0 || count > cols.size()) {
        return Damaged("record of " + table + " holds more columns than the table has");
      }
      for (size_t i = 0; i < cols.size(); ++i) {
        present[i] = i < count;
        if (cols[i].is_key() && !present[i]) return Damaged("record of " + table + " lacks a key");
      }
      rec.op = TransformRecord::Op::kInsert;
    } else {
      if (cols.size() < 16 && (mask >> cols.size()) != 0) {
        return Damaged("record of " + table + " names columns the table lacks");
      }
      for (size_t i = 0; i < cols.size(); ++i) {
        present[i] = cols[i].is_key() || (i < 16 && ((mask >> i) & 1) != 0);
      }
      rec.op = mask == 0 ? TransformRecord::Op::kDelete : TransformRecord::Op::kUpdate;
    }
    std::vector<size_t> binaries;
    for (size_t i = 0; i < cols.size(); ++i) {
      if (!present[i]) continue;
      const unsigned w = CellWidth(cols[i], ref_width_);
      if (data->size() - n < w) return Damaged("record of " + table + " cut short");
      auto cell = ReadCell(cols[i], data->data() + n, ref_width_);
      if (!cell.ok()) return cell.status();
      if (cols[i].kind() == ValueKind::kBinary && ReadLe(data->data() + n, w) != 0) {
        binaries.push_back(i);
      }
      rec.cells[i] = std::move(*cell);
      n += w;
    }
    if (!binaries.empty()) {
      std::string name = table;
      for (size_t i = 0; i < cols.size(); ++i) {
        if (cols[i].is_key()) name += "." + rec.cells[i]->ToText();
      }
      auto stream = CellStream(name);
      if (!stream.ok()) return stream.status();
      for (size_t i : binaries) rec.cells[i] = CellValue::Stream(*stream);
    }
    out.push_back(std::move(rec));
  }
  return out;
}

}  // namespace msi
