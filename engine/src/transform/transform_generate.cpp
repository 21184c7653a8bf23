#include "transform/transform_generate.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "cfb/compound_file_writer_names.h"
#include "storage/atomic_file.h"
#include "stream_name.h"
#include "text.h"
#include "transform/transform_file.h"

namespace msi {
namespace {

// One field of a record before the width of string references is known.
struct Field {
  enum class Kind : uint8_t { kString, kShort, kLong, kBinary } kind;
  uint32_t value;
};

struct Record {
  uint16_t mask = 0;
  std::vector<Field> fields;
};

void Put(std::vector<uint8_t>& out, uint32_t v, unsigned width) {
  for (unsigned i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

cfb::Bytes MakeBytes(std::vector<uint8_t> v) {
  return std::make_shared<const std::vector<uint8_t>>(std::move(v));
}

// A cell of a table read for comparison: text, integer or stream marker.
std::string_view CellText(Database& db, uint32_t stored) { return db.strings().Utf8(stored); }

class Builder {
 public:
  Builder(Database& newer, Database& reference)
      : newer_(newer), reference_(reference),
        pool_(StringPool::CreateEmpty(newer.strings().codepage())) {}

  Result<GeneratedTransform> Build() {
    GeneratedTransform out;
    out.differs = newer_.strings().codepage() != reference_.strings().codepage();
    for (const std::string& name : reference_.table_names()) {
      if (!Persistent(reference_, name)) continue;
      const TableSchema* now = Persistent(newer_, name) ? newer_.Schema(name) : nullptr;
      if (now == nullptr) {
        MSI_RETURN_IF_ERROR(TableRecord(name, false));
      } else if (!IsPrefix(*reference_.Schema(name), *now)) {
        // A column changed or went away: the transform can only replace
        // the whole table.
        MSI_RETURN_IF_ERROR(TableRecord(name, false));
        MSI_RETURN_IF_ERROR(NewTable(*now));
      } else {
        MSI_RETURN_IF_ERROR(CommonTable(*reference_.Schema(name), *now));
      }
    }
    for (const std::string& name : newer_.table_names()) {
      if (!Persistent(newer_, name) || Persistent(reference_, name)) continue;
      MSI_RETURN_IF_ERROR(NewTable(*newer_.Schema(name)));
    }
    out.differs = out.differs || !order_.empty();
    MSI_RETURN_IF_ERROR(Assemble(&out.file));
    return out;
  }

 private:
  static bool Persistent(Database& db, const std::string& name) {
    const TableSchema* s = db.Schema(name);
    return s != nullptr && !s->temporary && !Database::IsCatalogTable(name) && !s->columns.empty();
  }

  static bool IsPrefix(const TableSchema& old_schema, const TableSchema& now) {
    if (old_schema.columns.size() > now.columns.size()) return false;
    for (size_t i = 0; i < old_schema.columns.size(); ++i) {
      const Column& a = old_schema.columns[i];
      const Column& b = now.columns[i];
      if (a.name != b.name || (a.type & ~coltype::kTemporary) != (b.type & ~coltype::kTemporary)) {
        return false;
      }
    }
    for (size_t i = old_schema.columns.size(); i < now.columns.size(); ++i) {
      if (now.columns[i].is_key()) return false;
    }
    return true;
  }

  std::vector<Record>& Stream(const std::string& table) {
    auto it = records_.find(table);
    if (it == records_.end()) {
      order_.push_back(table);
      it = records_.emplace(table, std::vector<Record>()).first;
    }
    return it->second;
  }

  Result<uint32_t> Text(std::string_view text) {
    if (text.empty()) return 0u;
    auto id = pool_->AddRef(text, true);
    if (!id) return Status::Error(1627, "text cannot be written in the transform's codepage");
    return *id;
  }

  Status TableRecord(const std::string& name, bool add) {
    auto id = Text(name);
    if (!id.ok()) return id.status();
    Record r;
    r.mask = add ? 0x0101 : 0;
    r.fields.push_back({Field::Kind::kString, *id});
    Stream("_Tables").push_back(std::move(r));
    return Status();
  }

  // number 0: the next column of a new table (stored as null).
  Status ColumnRecord(const std::string& table, int number, const Column& c) {
    auto table_id = Text(table);
    auto name_id = Text(c.name);
    if (!table_id.ok()) return table_id.status();
    if (!name_id.ok()) return name_id.status();
    Record r;
    r.mask = 0x0401;
    r.fields.push_back({Field::Kind::kString, *table_id});
    r.fields.push_back({Field::Kind::kShort, number == 0 ? 0u : StoreInt(number, true)});
    r.fields.push_back({Field::Kind::kString, *name_id});
    r.fields.push_back({Field::Kind::kShort, StoreInt(static_cast<int16_t>(c.type & ~coltype::kTemporary), true)});
    Stream("_Columns").push_back(std::move(r));
    return Status();
  }

  Status NewTable(const TableSchema& schema) {
    MSI_RETURN_IF_ERROR(TableRecord(schema.name, true));
    for (const Column& c : schema.columns) MSI_RETURN_IF_ERROR(ColumnRecord(schema.name, 0, c));
    auto t = newer_.GetTable(schema.name);
    if (!t.ok()) return t.status();
    for (size_t r = 0; r < (*t)->row_count(); ++r) {
      if ((*t)->row_temporary(r)) continue;
      MSI_RETURN_IF_ERROR(InsertRecord(**t, r));
    }
    return Status();
  }

  // The field of a cell of the newer database; binary cells bring their
  // stream into the transform.
  Result<Field> FieldOf(const Table& t, size_t row, size_t col) {
    const Column& c = t.schema().columns[col];
    const uint32_t v = t.cell(row, col);
    switch (c.kind()) {
      case ValueKind::kInteger:
        return Field{c.short_int() ? Field::Kind::kShort : Field::Kind::kLong, v};
      case ValueKind::kString: {
        auto id = Text(v == 0 ? std::string_view() : CellText(newer_, v));
        if (!id.ok()) return id.status();
        return Field{Field::Kind::kString, *id};
      }
      case ValueKind::kBinary: {
        auto where = newer_.StreamForCell(t, row, col);
        if (!where) return Field{Field::Kind::kBinary, 0};
        auto bytes = newer_.ReadStream(*where);
        if (!bytes.ok()) return bytes.status();
        const std::u16string name = EncodeStreamName(Utf8ToUtf16(newer_.CellStreamName(t, row)), false);
        MSI_RETURN_IF_ERROR(cfb::CheckEntryName(name));
        // Two binary columns of one row share one stream name.
        if (stream_names_.insert(name).second) cell_streams_.push_back({name, *bytes});
        return Field{Field::Kind::kBinary, 1};
      }
    }
    return Field{Field::Kind::kShort, 0};
  }

  Status InsertRecord(const Table& t, size_t row) {
    const auto& cols = t.schema().columns;
    size_t count = 0;
    for (size_t c = 0; c < cols.size(); ++c) {
      if (cols[c].is_key() || t.cell(row, c) != 0) count = c + 1;
    }
    Record r;
    r.mask = static_cast<uint16_t>((count << 8) | 1);
    for (size_t c = 0; c < count; ++c) {
      auto f = FieldOf(t, row, c);
      if (!f.ok()) return f.status();
      r.fields.push_back(*f);
    }
    Stream(t.schema().name).push_back(std::move(r));
    return Status();
  }

  Status KeyRecord(const Table& t, size_t row, uint16_t mask, const std::vector<size_t>& extra) {
    Record r;
    r.mask = mask;
    const auto& cols = t.schema().columns;
    for (size_t c = 0; c < cols.size(); ++c) {
      if (!cols[c].is_key() && std::find(extra.begin(), extra.end(), c) == extra.end()) continue;
      auto f = FieldOf(t, row, c);
      if (!f.ok()) return f.status();
      r.fields.push_back(*f);
    }
    Stream(t.schema().name).push_back(std::move(r));
    return Status();
  }

  // Whether string id `id` holds the same text in both pools: commits
  // keep the ids of strings that stay, so most ids match and rows can be
  // compared by their stored values.
  bool SameId(uint32_t id) {
    if (same_ids_.empty()) {
      StringPool& a = reference_.strings();
      StringPool& b = newer_.strings();
      const uint32_t n = std::min(a.size(), b.size());
      same_ids_.assign(n, 0);
      const bool same_codepage = a.codepage() == b.codepage();
      for (uint32_t i = 1; i < n; ++i) {
        same_ids_[i] = a.IsUsed(i) && b.IsUsed(i) && a.Bytes(i) == b.Bytes(i) &&
                       (same_codepage || a.Utf8(i) == b.Utf8(i));
      }
      if (n > 0) same_ids_[0] = 1;
    }
    return id < same_ids_.size() && same_ids_[id] != 0;
  }

  // The row of the reference table with the key of the newer table's row.
  long FindOldRow(const Table& old_t, const Table& new_t, size_t row) {
    const auto& cols = new_t.schema().columns;
    probe_.assign(old_t.column_count(), 0);
    for (size_t c = 0; c < cols.size() && c < probe_.size(); ++c) {
      if (!cols[c].is_key()) continue;
      const uint32_t v = new_t.cell(row, c);
      if (cols[c].kind() != ValueKind::kString || SameId(v)) {
        probe_[c] = v;
        continue;
      }
      probe_[c] = reference_.strings().Find(CellText(newer_, v));
      if (probe_[c] == 0) return -1;
    }
    return old_t.FindRowByKey(probe_);
  }

  Result<bool> SameCell(const Table& old_t, size_t old_row, const Table& new_t, size_t new_row,
                        size_t col) {
    const Column& c = new_t.schema().columns[col];
    const uint32_t a = col < old_t.column_count() ? old_t.cell(old_row, col) : 0;
    const uint32_t b = new_t.cell(new_row, col);
    switch (c.kind()) {
      case ValueKind::kInteger: return a == b;
      case ValueKind::kString:
        if ((a == 0) != (b == 0)) return false;
        if (a == b && SameId(a)) return true;
        return a == 0 || CellText(reference_, a) == CellText(newer_, b);
      case ValueKind::kBinary: {
        auto wa = a == 0 ? std::nullopt : reference_.StreamForCell(old_t, old_row, col);
        auto wb = b == 0 ? std::nullopt : newer_.StreamForCell(new_t, new_row, col);
        if (!wa || !wb) return !wa && !wb;
        if (wa->size != wb->size) return false;
        auto ba = reference_.ReadStream(*wa);
        auto bb = newer_.ReadStream(*wb);
        if (!ba.ok()) return ba.status();
        if (!bb.ok()) return bb.status();
        return **ba == **bb;
      }
    }
    return true;
  }

  Status CommonTable(const TableSchema& old_schema, const TableSchema& now) {
    for (size_t i = old_schema.columns.size(); i < now.columns.size(); ++i) {
      MSI_RETURN_IF_ERROR(ColumnRecord(now.name, static_cast<int>(i + 1), now.columns[i]));
    }
    auto old_t = reference_.GetTable(old_schema.name);
    if (!old_t.ok()) return old_t.status();
    auto new_t = newer_.GetTable(now.name);
    if (!new_t.ok()) return new_t.status();
    const Table& ot = **old_t;
    const Table& nt = **new_t;
    std::vector<uint8_t> matched(ot.row_count(), 0);
    std::vector<std::pair<size_t, std::vector<size_t>>> changed;  // new row, columns
    std::vector<size_t> inserted;
    for (size_t r = 0; r < nt.row_count(); ++r) {
      if (nt.row_temporary(r)) continue;
      const long old_row = FindOldRow(ot, nt, r);
      if (old_row < 0 || ot.row_temporary(static_cast<size_t>(old_row))) {
        inserted.push_back(r);
        continue;
      }
      const size_t o = static_cast<size_t>(old_row);
      matched[o] = 1;
      std::vector<size_t> cols;
      for (size_t c = 0; c < now.columns.size(); ++c) {
        if (now.columns[c].is_key()) continue;
        auto same = SameCell(ot, o, nt, r, c);
        if (!same.ok()) return same.status();
        if (!*same) cols.push_back(c);
      }
      if (!cols.empty()) changed.emplace_back(r, std::move(cols));
    }
    for (size_t r = 0; r < ot.row_count(); ++r) {
      if (!matched[r] && !ot.row_temporary(r)) {
        // Keys hold the same texts in both, so the old row's key fields
        // serve as the record's key.
        Record rec;
        const auto& cols = ot.schema().columns;
        for (size_t c = 0; c < cols.size(); ++c) {
          if (!cols[c].is_key()) continue;
          const uint32_t v = ot.cell(r, c);
          if (cols[c].kind() == ValueKind::kString) {
            auto id = Text(v == 0 ? std::string_view() : CellText(reference_, v));
            if (!id.ok()) return id.status();
            rec.fields.push_back({Field::Kind::kString, *id});
          } else {
            rec.fields.push_back({cols[c].short_int() ? Field::Kind::kShort : Field::Kind::kLong, v});
          }
        }
        Stream(now.name).push_back(std::move(rec));
      }
    }
    for (const auto& [row, cols] : changed) {
      // A mask has 16 bits and bit 0 marks whole rows: changes beyond
      // reach are written as the row deleted and inserted again.
      uint32_t mask = 0;
      bool fits = true;
      for (size_t c : cols) {
        if (c == 0 || c >= 16) fits = false;
        else mask |= 1u << c;
      }
      if (fits) {
        MSI_RETURN_IF_ERROR(KeyRecord(nt, row, static_cast<uint16_t>(mask), cols));
      } else {
        MSI_RETURN_IF_ERROR(KeyRecord(nt, row, 0, {}));
        MSI_RETURN_IF_ERROR(InsertRecord(nt, row));
      }
    }
    for (size_t row : inserted) MSI_RETURN_IF_ERROR(InsertRecord(nt, row));
    return Status();
  }

  Status Assemble(cfb::StorageTree* root) {
    const uint32_t ids = pool_->size();
    const unsigned ref_width = ids > 0x10000 ? 3 : 2;
    std::vector<uint8_t> pool, data;
    Put(pool, static_cast<uint32_t>(pool_->codepage()) | (ref_width == 3 ? 0x80000000u : 0), 4);
    for (uint32_t id = 1; id < ids; ++id) {
      const std::string_view bytes = pool_->Bytes(id);
      const uint32_t refs = std::min<uint32_t>(pool_->RefCount(id), 0xFFFF);
      if (bytes.size() > 0xFFFF) {
        Put(pool, 0, 2);
        Put(pool, static_cast<uint32_t>(bytes.size() >> 16), 2);
      }
      Put(pool, static_cast<uint32_t>(bytes.size() & 0xFFFF), 2);
      Put(pool, refs, 2);
      data.insert(data.end(), bytes.begin(), bytes.end());
    }
    root->clsid = TransformClsid();
    auto add = [&](const std::string& name, std::vector<uint8_t> bytes) {
      root->streams.push_back({EncodeStreamName(Utf8ToUtf16(name), true), MakeBytes(std::move(bytes))});
    };
    add("_StringPool", std::move(pool));
    add("_StringData", std::move(data));
    for (const std::string& table : order_) {
      std::vector<uint8_t> bytes;
      for (const Record& r : records_.at(table)) {
        Put(bytes, r.mask, 2);
        for (const Field& f : r.fields) {
          switch (f.kind) {
            case Field::Kind::kString: Put(bytes, f.value, ref_width); break;
            case Field::Kind::kLong: Put(bytes, f.value, 4); break;
            case Field::Kind::kShort:
            case Field::Kind::kBinary: Put(bytes, f.value, 2); break;
          }
        }
      }
      const std::u16string name = EncodeStreamName(Utf8ToUtf16(table), true);
      MSI_RETURN_IF_ERROR(cfb::CheckEntryName(name));
      add(table, std::move(bytes));
    }
    for (auto& s : cell_streams_) root->streams.push_back(std::move(s));
    return Status();
  }

  Database& newer_;
  Database& reference_;
  std::unique_ptr<StringPool> pool_;
  std::vector<std::string> order_;
  std::unordered_map<std::string, std::vector<Record>> records_;
  std::vector<cfb::StreamEntry> cell_streams_;
  std::set<std::u16string> stream_names_;
  std::vector<uint8_t> same_ids_;
  std::vector<uint32_t> probe_;
};

}  // namespace

Result<GeneratedTransform> GenerateTransform(Database& newer, Database& reference) {
  return Builder(newer, reference).Build();
}

Status WriteStorageFile(const cfb::StorageTree& tree, const std::string& path) {
  return ReplaceFileAtomically(
      path, [&](cfb::ByteSink& sink) { return cfb::WriteCompoundFile(tree, cfb::WriteOptions{}, sink); });
}

}  // namespace msi
