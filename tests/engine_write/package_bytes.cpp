#include "package_bytes.h"

#include "cfb_test_reader.h"
#include "support.h"

#include <algorithm>
#include <string_view>

namespace ts {

namespace {

// The 64 characters stream names pack, by their 6-bit value.
constexpr std::u16string_view kPacked = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._";

// Names are keys only: code units become UTF-8 one by one.
std::string Utf8(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

uint32_t Le(const std::vector<uint8_t>& d, size_t at, unsigned width) {
  uint32_t v = 0;
  for (unsigned i = 0; i < width; ++i) v |= static_cast<uint32_t>(d[at + i]) << (8 * i);
  return v;
}

unsigned CellWidth(const StoredColumn& c, bool wide) {
  if (c.is_string()) return wide ? 3 : 2;
  if (c.is_binary()) return 2;
  return (c.type & 0xFF) == 4 ? 4 : 2;
}

// Column-major cells; the reference width is the declared one unless only
// the other one fits the stream's size.
bool DecodeCells(const std::vector<uint8_t>& data, StoredTable& table, bool wide) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    bool w = attempt == 0 ? wide : !wide;
    size_t row_width = 0;
    for (const auto& c : table.columns) row_width += CellWidth(c, w);
    if (row_width == 0) return data.empty();
    if (data.size() % row_width != 0) continue;
    size_t rows = data.size() / row_width;
    table.rows.assign(rows, std::vector<uint32_t>(table.columns.size()));
    size_t at = 0;
    for (size_t c = 0; c < table.columns.size(); ++c) {
      unsigned width = CellWidth(table.columns[c], w);
      for (size_t r = 0; r < rows; ++r, at += width) table.rows[r][c] = Le(data, at, width);
    }
    return true;
  }
  return false;
}

const std::vector<uint8_t>* Find(const StoredPackage& p, const std::string& name) {
  auto it = p.streams.find(name);
  return it == p.streams.end() ? nullptr : &it->second;
}

std::u16string DecodeStreamName(const std::u16string& stored, bool& table) {
  std::u16string out;
  table = !stored.empty() && stored[0] == 0x4840;
  for (size_t i = table ? 1 : 0; i < stored.size(); ++i) {
    const char16_t u = stored[i];
    if (u >= 0x3800 && u < 0x4800) {
      out += {kPacked[(u - 0x3800) & 63], kPacked[((u - 0x3800) >> 6) & 63]};
    } else if (u >= 0x4800 && u < 0x4840) {
      out += kPacked[u - 0x4800];
    } else {
      out += u;
    }
  }
  return out;
}

std::u16string EncodeStreamName(const std::u16string& name, bool table) {
  std::u16string out = table ? u"\x4840" : u"";
  constexpr size_t kNone = std::u16string_view::npos;
  auto packed = [&](size_t i) { return i < name.size() && name[i] < 0x80 ? kPacked.find(name[i]) : kNone; };
  for (size_t i = 0; i < name.size(); ++i) {
    const size_t a = packed(i), b = packed(i + 1);
    if (a == kNone) {
      out += name[i];
    } else if (b != kNone) {
      out += static_cast<char16_t>(0x3800 + a + (b << 6));
      ++i;
    } else {
      out += static_cast<char16_t>(0x4800 + a);
    }
  }
  return out;
}

// A cell as text (strings by value, integers in decimal, "" for null).
std::string CellText(const StoredPackage& p, const StoredTable& t, size_t row, size_t column) {
  uint32_t raw = t.rows[row][column];
  const StoredColumn& c = t.columns[column];
  if (raw == 0) return "";
  if (c.is_string()) return raw < p.strings.size() ? p.strings[raw] : "<bad id>";
  if (c.is_binary()) return "<stream>";
  if ((c.type & 0xFF) == 4) return std::to_string(static_cast<int32_t>(raw ^ 0x80000000u));
  return std::to_string(static_cast<int16_t>(static_cast<uint16_t>(raw ^ 0x8000)));
}

}  // namespace

std::string DecodePackage(const std::vector<uint8_t>& file, StoredPackage& out) {
  cfbtest::ParsedFile parsed;
  std::string fault = cfbtest::ParseStrict(file, parsed);
  if (!fault.empty()) return "compound file: " + fault;
  out = StoredPackage{};
  out.major_version = parsed.major_version;
  out.root_clsid = parsed.root.clsid;
  for (const auto& s : parsed.root.streams) {
    out.raw_stream_names.push_back(s.name);
    bool table = false;
    const std::string name = Utf8(DecodeStreamName(s.name, table));
    out.streams[table ? "!" + name : name] = s.data;
  }

  const auto* pool = Find(out, "!_StringPool");
  const auto* data = Find(out, "!_StringData");
  if (pool == nullptr || data == nullptr) return "no string pool";
  if (pool->size() < 4 || pool->size() % 4 != 0) return "string pool size " + std::to_string(pool->size());
  uint32_t header = Le(*pool, 0, 4);
  out.codepage = header & 0x7FFFFFFF;
  out.wide_refs = (header & 0x80000000u) != 0;
  out.strings.assign(1, "");
  out.refcounts.assign(1, 0);
  out.live.assign(1, false);
  size_t offset = 0;
  size_t entries = pool->size() / 4;
  for (size_t i = 1; i < entries; ++i) {
    uint32_t length = Le(*pool, i * 4, 2);
    uint32_t count = Le(*pool, i * 4 + 2, 2);
    if (length == 0 && count != 0) {
      if (i + 1 >= entries) return "long string entry at the end of the pool";
      length = (count << 16) | Le(*pool, (i + 1) * 4, 2);
      count = Le(*pool, (i + 1) * 4 + 2, 2);
      ++i;
    }
    if (offset + length > data->size()) return "string data shorter than the pool says";
    out.strings.emplace_back(data->begin() + static_cast<long>(offset),
                             data->begin() + static_cast<long>(offset + length));
    out.refcounts.push_back(count);
    out.live.push_back(length != 0);
    offset += length;
  }
  if (offset != data->size()) return "string data longer than the pool says";

  auto string_at = [&](uint32_t id) -> std::string {
    return id < out.strings.size() ? out.strings[id] : std::string("<bad id>");
  };
  // The two system tables describe themselves in no table.
  StoredTable tables;
  tables.columns = {{"Name", 0x2D40}};
  const auto* tables_data = Find(out, "!_Tables");
  if (tables_data == nullptr || !DecodeCells(*tables_data, tables, out.wide_refs)) return "bad _Tables";
  StoredTable columns;
  columns.columns = {{"Table", 0x2D40}, {"Number", 0x2502}, {"Name", 0x2D40}, {"Type", 0x0502}};
  const auto* columns_data = Find(out, "!_Columns");
  if (columns_data == nullptr || !DecodeCells(*columns_data, columns, out.wide_refs)) return "bad _Columns";

  for (const auto& row : tables.rows) {
    std::string name = string_at(row[0]);
    StoredTable t;
    std::vector<std::pair<int, StoredColumn>> cols;
    for (const auto& c : columns.rows) {
      if (c[0] != row[0]) continue;
      cols.push_back({static_cast<int>(c[1] ^ 0x8000), {string_at(c[2]), (c[3] ^ 0x8000) & 0xFFFF}});
    }
    std::sort(cols.begin(), cols.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& c : cols) t.columns.push_back(c.second);
    const auto* d = Find(out, "!" + name);
    if (d != nullptr && !DecodeCells(*d, t, out.wide_refs)) return "table " + name + ": size fits no row width";
    out.tables[name] = std::move(t);
  }
  out.tables["_Tables"] = std::move(tables);
  out.tables["_Columns"] = std::move(columns);
  return "";
}

std::vector<std::string> WriterRuleFaults(const StoredPackage& p) {
  std::vector<std::string> faults;
  std::vector<uint64_t> counted(p.strings.size(), 0);
  for (const auto& [name, t] : p.tables) {
    std::vector<size_t> keys;
    for (size_t c = 0; c < t.columns.size(); ++c) {
      if (t.columns[c].is_key()) keys.push_back(c);
    }
    if (name == "_Tables") keys = {0};
    if (name == "_Columns") keys = {0, 1};
    for (size_t r = 0; r < t.rows.size(); ++r) {
      for (size_t c = 0; c < t.columns.size(); ++c) {
        uint32_t v = t.rows[r][c];
        if (!t.columns[c].is_string() || v == 0) continue;
        if (v >= p.strings.size() || !p.live[v]) {
          faults.push_back(name + " row " + std::to_string(r) + " column " + t.columns[c].name +
                           ": dangling string id " + std::to_string(v));
        } else {
          ++counted[v];
        }
      }
      if (r == 0) continue;
      const auto& a = t.rows[r - 1];
      const auto& b = t.rows[r];
      int order = 0;
      for (size_t k : keys) {
        if (a[k] != b[k]) {
          order = a[k] < b[k] ? -1 : 1;
          break;
        }
      }
      if (order >= 0) {
        faults.push_back(name + ": row " + std::to_string(r) + (order == 0 ? " repeats the key of" : " sorts before") +
                         " row " + std::to_string(r - 1));
      }
    }
    // A row's binary value lives in the stream Table.key1.key2...
    for (size_t c = 0; c < t.columns.size(); ++c) {
      if (!t.columns[c].is_binary()) continue;
      for (size_t r = 0; r < t.rows.size(); ++r) {
        if (t.rows[r][c] == 0) continue;
        std::string stream = name;
        for (size_t k : keys) stream += "." + CellText(p, t, r, k);
        if (p.streams.count(stream) == 0) faults.push_back(name + ": no stream " + stream + " for row " + std::to_string(r));
      }
    }
  }
  std::map<std::string, uint32_t> seen;
  for (size_t id = 1; id < p.strings.size(); ++id) {
    if (counted[id] != p.refcounts[id]) {
      faults.push_back("string " + std::to_string(id) + " '" + p.strings[id] + "': count " +
                       std::to_string(p.refcounts[id]) + ", referenced " + std::to_string(counted[id]) + " times");
    }
    if (p.live[id]) {
      auto [it, fresh] = seen.emplace(p.strings[id], static_cast<uint32_t>(id));
      if (!fresh) faults.push_back("string '" + p.strings[id] + "' under ids " + std::to_string(it->second) +
                                   " and " + std::to_string(id));
    }
  }
  for (const auto& raw : p.raw_stream_names) {
    bool table = false;
    const std::u16string name16 = DecodeStreamName(raw, table);
    const std::string decoded = Utf8(name16);
    if (!raw.empty() && raw[0] == 5) continue;  // \005 names are stored as they are
    if (EncodeStreamName(name16, table) != raw) faults.push_back("stream " + decoded + ": name not in encoded form");
    if (table && p.tables.count(decoded) == 0 && decoded != "_StringPool" && decoded != "_StringData") {
      faults.push_back("table stream " + decoded + " of no table");
    }
  }
  return faults;
}

StoredPackage ExpectSound(const fs::path& path) {
  StoredPackage p;
  const std::string fault = DecodePackage(ReadBytes(path), p);
  EXPECT_EQ(fault, "") << path;
  if (!fault.empty()) return p;
  const std::vector<std::string> faults = WriterRuleFaults(p);
  EXPECT_TRUE(faults.empty()) << faults.size() << " writer rule faults, first: " << faults.front();
  return p;
}

}  // namespace ts
