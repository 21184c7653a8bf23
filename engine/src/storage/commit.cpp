// Commit: a new compound file that replaces the package atomically. String
// ids of strings that stay are kept (ORDER BY results depend on them);
// reference counts are recounted from every table; the rows of changed
// tables are written in primary key order, and unchanged tables keep their
// streams; every stream and storage that is not table data is carried over
// byte for byte.
#include <algorithm>

#include "cfb/compound_file.h"
#include "storage/atomic_file.h"
#include "storage/database.h"
#include "storage/summary_info.h"
#include "storage/table_stream.h"
#include "stream_name.h"
#include "text.h"

namespace msi {
namespace {

uint8_t* Put(uint8_t* out, uint32_t v, unsigned width) {
  for (unsigned i = 0; i < width; ++i) *out++ = static_cast<uint8_t>(v >> (8 * i));
  return out;
}

cfb::Bytes MakeBytes(std::vector<uint8_t> v) {
  return std::make_shared<const std::vector<uint8_t>>(std::move(v));
}

// The rows of a table that belong in the file, in key order.
std::vector<size_t> PersistentRows(const Table& t) {
  std::vector<size_t> rows;
  for (size_t r = 0; r < t.row_count(); ++r) {
    if (!t.row_temporary(r)) rows.push_back(r);
  }
  std::stable_sort(rows.begin(), rows.end(), [&](size_t a, size_t b) {
    return t.CompareKeys(t.row_data(a), t.row_data(b)) < 0;
  });
  return rows;
}

std::vector<uint8_t> EncodeTable(const Table& t, unsigned ref_width) {
  // Rows kept in key order with none temporary are written as they are.
  bool as_they_are = t.sorted();
  for (size_t r = 0; as_they_are && r < t.row_count(); ++r) as_they_are = !t.row_temporary(r);
  const std::vector<size_t> rows = as_they_are ? std::vector<size_t>() : PersistentRows(t);
  const size_t n = as_they_are ? t.row_count() : rows.size();
  const auto& cols = t.schema().columns;
  size_t size = 0;
  for (const Column& c : cols) size += c.temporary() ? 0 : c.StoredWidth(ref_width) * n;
  std::vector<uint8_t> out(size);
  uint8_t* p = out.data();
  for (size_t c = 0; c < cols.size(); ++c) {
    if (cols[c].temporary()) continue;
    const unsigned w = cols[c].StoredWidth(ref_width);
    for (size_t i = 0; i < n; ++i) p = Put(p, t.cell(as_they_are ? i : rows[i], c), w);
  }
  return out;
}

// The string data as pieces: runs of strings that lie in the loaded data
// in the same order are written from it, the rest from copies.
class StringDataWriter {
 public:
  explicit StringDataWriter(const cfb::Bytes& loaded) : loaded_(loaded) {}
  void Add(std::string_view bytes, std::optional<size_t> loaded_at) {
    if (bytes.empty()) return;
    if (loaded_at) {
      if (!run_ || *loaded_at != run_->second) {
        Flush();
        run_.emplace(*loaded_at, *loaded_at);
      }
      run_->second += bytes.size();
      return;
    }
    if (run_) Flush();
    copied_.insert(copied_.end(), bytes.begin(), bytes.end());
  }
  std::vector<cfb::Bytes> Finish() {
    Flush();
    return std::move(pieces_);
  }

 private:
  void Flush() {
    if (run_) pieces_.push_back(loaded_.Slice(run_->first, run_->second - run_->first));
    run_.reset();
    if (!copied_.empty()) pieces_.push_back(MakeBytes(std::move(copied_)));
    copied_.clear();
  }
  const cfb::Bytes& loaded_;
  std::optional<std::pair<size_t, size_t>> run_;  // [begin, end) in the loaded data
  std::vector<uint8_t> copied_;
  std::vector<cfb::Bytes> pieces_;
};

Status UnencodableText(int codepage, std::string_view text) {
  const std::string shown = text.size() > 40 ? std::string(text.substr(0, 40)) + "..." : std::string(text);
  return Status::Error(1627, "the package's codepage " + std::to_string(codepage) +
                                 (codepage == 0 ? " (neutral, written as 1252)" : "") +
                                 " cannot hold the text \"" + shown +
                                 "\"; import a _ForceCodepage.idt naming a codepage that holds it "
                                 "(65001 holds every text), then commit again");
}

}  // namespace

Status Database::CopyStorage(uint32_t entry, cfb::StorageTree* out) const {
  const auto& e = cfb_->entry(entry);
  out->name = e.name;
  out->clsid = e.clsid;
  out->state_bits = e.state_bits;
  out->created = e.created;
  out->modified = e.modified;
  for (uint32_t child : cfb_->Children(entry)) {
    const auto& c = cfb_->entry(child);
    if (c.type == cfb::EntryType::kStream) {
      auto bytes = cfb_->ShareStream(child);
      if (!bytes.ok()) return bytes.status();
      out->streams.push_back({c.name, std::move(*bytes)});
    } else if (c.type == cfb::EntryType::kStorage) {
      cfb::StorageTree sub;
      MSI_RETURN_IF_ERROR(CopyStorage(child, &sub));
      out->storages.push_back(std::move(sub));
    }
  }
  return Status();
}

bool Database::UnchangedSinceLoad(const std::string& name) const {
  auto loaded = as_loaded_.find(name);
  auto table = tables_.find(name);
  return loaded != as_loaded_.end() && table != tables_.end() &&
         loaded->second.table == table->second.get() &&
         loaded->second.generation == table->second->generation();
}

Result<cfb::StorageTree> Database::BuildFileTree() {
  // A table nobody changed keeps its stream: its references are counted
  // from the stored bytes, and the bytes are written again as they were
  // (re-widened only when the pool's reference width changes). Changed
  // tables are encoded from memory.
  struct Output {
    std::string name;
    Table* table = nullptr;  // encoded from memory, or...
    const TableSchema* schema = nullptr;  // ...carried over as stored
    cfb::Bytes stored;
    unsigned stored_width = 2;
  };
  std::vector<Output> outputs;
  for (const std::string& name : table_names_) {
    const TableSchema* schema = Schema(name);
    if (schema == nullptr || schema->temporary || IsCatalogTable(name)) continue;
    Output out;
    out.name = name;
    if (tables_.count(name) == 0 || UnchangedSinceLoad(name)) {
      bool present = false;
      auto data = ReadTableStream(name, &present);
      if (!data.ok()) return data.status();
      const unsigned width = StreamRefWidth(*schema, data->size(), ref_width_);
      const size_t row = StoredRowWidth(*schema, width);
      if (row != 0 && data->size() % row == 0) {
        if (data->empty()) continue;
        out.schema = schema;
        out.stored = std::move(*data);
        out.stored_width = width;
        outputs.push_back(std::move(out));
        continue;
      }
      // Stray bytes after the last row: decoded, so they are dropped as
      // the rows are written afresh.
    }
    auto t = GetTable(name);
    if (!t.ok()) return t.status();
    out.table = *t;
    outputs.push_back(std::move(out));
  }
  Table& tables = *tables_.at("_Tables");
  Table& columns = *tables_.at("_Columns");

  std::vector<uint32_t> counts(strings_->size(), 0);
  auto count = [&](uint32_t id) {
    if (id != 0 && id < counts.size()) ++counts[id];
  };
  for (size_t r = 0; r < tables.row_count(); ++r) {
    if (!tables.row_temporary(r)) count(tables.cell(r, 0));
  }
  for (size_t r = 0; r < columns.row_count(); ++r) {
    if (columns.row_temporary(r)) continue;
    count(columns.cell(r, 0));
    count(columns.cell(r, 2));
  }
  for (const Output& out : outputs) {
    if (out.table == nullptr) {
      bool missing = false;
      ForEachStringRef(*out.schema, out.stored, out.stored_width, [&](uint32_t id) {
        if (strings_->IsUsed(id)) ++counts[id];
        else missing = true;
      });
      if (missing) return Status::Error(13, "table " + out.name + " refers to a missing string");
      continue;
    }
    const Table* t = out.table;
    const auto& cols = t->schema().columns;
    for (size_t r = 0; r < t->row_count(); ++r) {
      if (t->row_temporary(r)) continue;
      for (size_t c = 0; c < cols.size(); ++c) {
        if (cols[c].kind() == ValueKind::kString && !cols[c].temporary()) count(t->cell(r, c));
      }
    }
  }
  uint32_t max_id = 0;
  for (uint32_t id = 1; id < counts.size(); ++id) {
    if (counts[id] == 0) continue;
    max_id = id;
    // Refused before anything changes, so the package stays as it was.
    if (strings_->Unencodable(id)) return UnencodableText(strings_->codepage(), strings_->Utf8(id));
  }
  const unsigned ref_width = max_id > 0xFFFF ? 3 : 2;

  size_t pool_size = 4 + 4 * static_cast<size_t>(max_id);
  for (uint32_t id = 1; id <= max_id; ++id) {
    if (counts[id] != 0 && strings_->Bytes(id).size() > 0xFFFF) pool_size += 4;
  }
  std::vector<uint8_t> pool(pool_size);
  uint8_t* p = Put(pool.data(), static_cast<uint32_t>(strings_->codepage()) | (ref_width == 3 ? 0x80000000u : 0), 4);
  StringDataWriter data(strings_->loaded_data());
  for (uint32_t id = 1; id <= max_id; ++id) {
    if (counts[id] == 0) {
      p = Put(p, 0, 4);
      continue;
    }
    const std::string_view bytes = strings_->Bytes(id);
    const uint32_t refs = std::min<uint32_t>(counts[id], 0xFFFF);
    if (bytes.size() > 0xFFFF) {
      // Long strings take two entries: the high word, then the low word.
      p = Put(p, 0, 2);
      p = Put(p, static_cast<uint32_t>(bytes.size() >> 16), 2);
    }
    p = Put(p, static_cast<uint32_t>(bytes.size() & 0xFFFF), 2);
    p = Put(p, refs, 2);
    data.Add(bytes, strings_->LoadedOffset(id));
  }

  cfb::StorageTree root;
  root.clsid = PackageClsid();
  if (cfb_) {
    const auto& r = cfb_->entry(cfb::CompoundFileReader::kRootId);
    root.clsid = r.clsid;
    root.state_bits = r.state_bits;
    root.created = r.created;
    root.modified = r.modified;
  }
  auto add_table_stream = [&](const std::string& name, cfb::Bytes bytes) {
    root.streams.push_back({EncodeStreamName(Utf8ToUtf16(name), true), std::move(bytes)});
  };
  add_table_stream("_StringPool", MakeBytes(std::move(pool)));
  root.streams.push_back({EncodeStreamName(Utf8ToUtf16("_StringData"), true), cfb::Bytes(), data.Finish()});
  add_table_stream("_Tables", MakeBytes(EncodeTable(tables, ref_width)));
  add_table_stream("_Columns", MakeBytes(EncodeTable(columns, ref_width)));
  for (Output& out : outputs) {
    cfb::Bytes bytes;
    if (out.table != nullptr) bytes = MakeBytes(EncodeTable(*out.table, ref_width));
    else if (out.stored_width == ref_width) bytes = std::move(out.stored);
    else bytes = MakeBytes(RewidthTableStream(*out.schema, out.stored, out.stored_width, ref_width));
    if (!bytes.empty()) add_table_stream(out.name, std::move(bytes));
  }

  if (cfb_) {
    for (uint32_t id : cfb_->Children(cfb::CompoundFileReader::kRootId)) {
      const auto& e = cfb_->entry(id);
      bool is_table = false;
      const std::string name = Utf16ToUtf8(DecodeStreamName(e.name, &is_table));
      if (e.type == cfb::EntryType::kStorage) {
        cfb::StorageTree sub;
        MSI_RETURN_IF_ERROR(CopyStorage(id, &sub));
        root.storages.push_back(std::move(sub));
        continue;
      }
      if (e.type != cfb::EntryType::kStream) continue;
      if (is_table) {
        // Table data is written afresh above; a stray table stream that
        // belongs to no known table is kept as it was.
        if (name == "_StringPool" || name == "_StringData" || name == "_Tables" ||
            name == "_Columns" || schemas_.count(name) != 0 || dropped_tables_.count(name) != 0) {
          continue;
        }
      } else if (ReplacedByChange(name, e.name)) {
        continue;
      }
      auto bytes = cfb_->ShareStream(id);
      if (!bytes.ok()) return bytes.status();
      root.streams.push_back({e.name, std::move(*bytes)});
    }
  }
  for (const auto& [name, bytes] : stream_changes_) {
    if (bytes) root.streams.push_back({StoredStreamName(name), bytes});
  }
  if (!cfb_ && stream_changes_.count("\005SummaryInformation") == 0) {
    root.streams.push_back({u"\005SummaryInformation",
                            MakeBytes(DefaultSummaryInformation(NewGuid()))});
  }
  strings_->SetCounts(counts);
  return root;
}

Status Database::Commit() {
  if (read_only() && options_.output_path.empty()) return Status();
  if (!changed_) return Status();
  const std::string target = options_.output_path.empty() ? path_ : options_.output_path;
  // Changed underneath: fail before any work (and again right before the
  // rename, in ReplaceFileAtomically).
  if (cfb::FileStamp::OfPath(target) != target_stamp_) return ChangedUnderneath(target);
  auto tree = BuildFileTree();
  if (!tree.ok()) return tree.status();
  cfb::WriteOptions wo;
  wo.major_version = cfb_ ? cfb_->major_version() : 3;
  cfb::FileStamp written;
  MSI_RETURN_IF_ERROR(ReplaceFileAtomically(
      target, [&](cfb::ByteSink& sink) { return cfb::WriteCompoundFile(*tree, wo, sink); },
      &target_stamp_, &written));
  target_stamp_ = written;
  changed_ = false;
  return Status();
}

}  // namespace msi
