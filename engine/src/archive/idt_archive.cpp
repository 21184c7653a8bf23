#include "archive/idt_archive.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "archive/summary_archive.h"
#include "sql/row_editor.h"
#include "sql/stored_value.h"
#include "text.h"

namespace msi {
namespace {

Status Failed(const std::string& what) { return Status::Error(1627, what); }

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return out;
}

Result<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::Error(161, "cannot read " + path);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A file name made from a key that cannot leave the folder it is put in.
std::string SafeFileName(const std::string& key) {
  std::string out;
  for (char c : key) {
    const auto u = static_cast<unsigned char>(c);
    out.push_back(c == '/' || c == '\\' || u < 0x20 ? '_' : c);
  }
  if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
  return out;
}

std::string TypeText(const Column& c) {
  std::string t = c.TypeText();
  // The archive has no letters of its own for temporary columns.
  if (t[0] == 'g' || t[0] == 'G') t[0] = static_cast<char>(t[0] - 'g' + 's');
  if (t[0] == 'j' || t[0] == 'J') t[0] = static_cast<char>(t[0] - 'j' + 'i');
  if (t[0] == 'o' || t[0] == 'O') t[0] = static_cast<char>(t[0] - 'o' + 'v');
  return t;
}

// An archive names the codepage of its text on the third line. A neutral
// package takes that codepage, as the installer's import does; a package
// in another codepage keeps its own, and the text must fit it.
Status AdoptArchiveCodepage(Database& db, int codepage, const std::string& file) {
  const int current = db.strings().codepage();
  if (codepage == current || codepage == 0) return Status();
  if (!IsSupportedCodepage(codepage)) {
    return Failed(file + ": codepage " + std::to_string(codepage) + " is not one the engine can convert");
  }
  if (current != 0) return Status();
  if (!db.strings().SetCodepage(codepage)) return Failed(file + ": cannot take codepage " + std::to_string(codepage));
  db.MarkChanged();
  return Status();
}

}  // namespace

// Control characters in values are written as other control characters,
// so that tabs and line breaks can separate fields and rows.
namespace {
constexpr struct {
  char value, archived;
} kTranslations[] = {{'\0', 21}, {'\b', 27}, {'\t', 16}, {'\n', 25}, {'\f', 24}, {'\r', 17}};

// One pass of the archive's character translation, either way.
std::string Translate(const std::string& s, bool escape) {
  std::string out = s;
  for (char& c : out) {
    for (const auto& t : kTranslations) {
      if (c == (escape ? t.value : t.archived)) {
        c = escape ? t.archived : t.value;
        break;
      }
    }
  }
  return out;
}

}  // namespace

std::string ArchiveUnescape(const std::string& s) { return Translate(s, false); }

std::string ArchiveEscape(const std::string& s) { return Translate(s, true); }

std::optional<uint16_t> ParseArchiveType(const std::string& text) {
  if (text.size() < 2) return std::nullopt;
  const char letter = text[0];
  char* end = nullptr;
  const long width = std::strtol(text.c_str() + 1, &end, 10);
  if (*end != '\0' || width < 0 || width > 255) return std::nullopt;
  uint16_t type = coltype::kValid;
  if (letter >= 'A' && letter <= 'Z') type |= coltype::kNullable;
  switch (letter | 0x20) {
    case 's': type |= coltype::kString | coltype::kAscii | static_cast<uint16_t>(width); break;
    case 'l':
      type |= coltype::kString | coltype::kAscii | coltype::kLocalizable |
              static_cast<uint16_t>(width);
      break;
    case 'v': type |= coltype::kString; break;
    case 'i':
      // Width 1 is a 2-byte integer too; real merge modules carry it.
      if (width == 1 || width == 2) type |= coltype::kAscii | static_cast<uint16_t>(width);
      else if (width == 4) type |= 4;
      else return std::nullopt;
      break;
    default: return std::nullopt;
  }
  return type;
}

Status ImportIdt(Database& db, const std::string& folder, const std::string& file) {
  auto content = ReadFile(folder + "/" + file);
  if (!content.ok()) return content.status();
  std::vector<std::string> lines;
  {
    std::string line;
    std::istringstream in(*content);
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  if (lines.size() < 3) return Failed(file + " has no archive header");
  std::vector<std::string> third = SplitTabs(lines[2]);
  int codepage = db.strings().codepage();
  bool names_codepage = false;
  if (!third.empty() && !third[0].empty() && third[0].size() < 8 &&
      third[0].find_first_not_of("0123456789") == std::string::npos) {
    codepage = std::atoi(third[0].c_str());
    names_codepage = true;
    third.erase(third.begin());
  }
  if (third.empty() || third[0].empty()) return Failed(file + " names no table");
  const std::string table_name = third[0];
  struct stat folder_info {};
  if (::stat(folder.c_str(), &folder_info) != 0 || !S_ISDIR(folder_info.st_mode)) {
    return Status::Error(161, "no folder " + folder);
  }
  if (table_name == "_ForceCodepage") {
    if (!db.strings().SetCodepage(codepage)) {
      return Failed(file + ": codepage " + std::to_string(codepage) + " is not one the engine can convert");
    }
    db.MarkChanged();
    return Status();
  }
  if (table_name == kSummaryArchiveTable) {
    // Not a table: the rows are the summary information's properties.
    return ImportSummaryIdt(db, std::vector<std::string>(lines.begin() + 3, lines.end()), file);
  }
  if (names_codepage) MSI_RETURN_IF_ERROR(AdoptArchiveCodepage(db, codepage, file));
  const bool foreign = codepage != db.strings().codepage();
  CodepageConverter converter(codepage);
  auto text = [&](const std::string& raw) { return converter.ToUtf8(ArchiveUnescape(raw)); };
  const std::vector<std::string> names = SplitTabs(lines[0]);
  const std::vector<std::string> types = SplitTabs(lines[1]);
  if (names.size() != types.size() || names.empty()) return Failed(file + ": header lines differ");

  TableSchema schema;
  schema.name = text(table_name);
  for (size_t i = 0; i < names.size(); ++i) {
    auto type = ParseArchiveType(types[i]);
    if (!type) return Failed(file + ": unknown column type " + types[i]);
    schema.columns.push_back({text(names[i]), *type});
  }
  for (size_t k = 1; k < third.size(); ++k) {
    const int c = schema.Find(text(third[k]));
    if (c < 0) return Failed(file + ": key " + third[k] + " is no column");
    schema.columns[c].type |= coltype::kKey;
  }
  const bool streams_table = schema.name == "_Streams";
  Table* table = nullptr;
  if (streams_table) {
    auto t = db.GetTable("_Streams");
    if (!t.ok()) return t.status();
    table = *t;
  } else {
    if (db.Schema(schema.name) != nullptr) MSI_RETURN_IF_ERROR(db.DropTable(schema.name));
    MSI_RETURN_IF_ERROR(db.CreateTable(schema));
    auto t = db.GetTable(schema.name);
    if (!t.ok()) return t.status();
    table = *t;
  }
  const TableSchema& target = table->schema();
  sql::RowEditor editor(db, *table);
  if (!streams_table) editor.DeferKeyOrder();  // a table made anew: no view reads it yet
  for (size_t l = 3; l < lines.size(); ++l) {
    if (lines[l].empty()) continue;
    const std::vector<std::string> fields = SplitTabs(lines[l]);
    std::vector<sql::ParamValue> values(target.columns.size());
    for (size_t i = 0; i < names.size() && i < fields.size(); ++i) {
      const int c = target.Find(schema.columns[i].name);
      if (c < 0 || fields[i].empty()) continue;
      sql::ParamValue& v = values[c];
      const Column& col = target.columns[c];
      if (col.kind() == ValueKind::kBinary) {
        auto bytes = ReadFile(folder + "/" + table_name + "/" + fields[i]);
        if (!bytes.ok()) return bytes.status();
        v.kind = sql::ParamValue::Kind::kStream;
        v.stream = std::make_shared<const std::vector<uint8_t>>(bytes->begin(), bytes->end());
      } else {
        v.kind = sql::ParamValue::Kind::kString;  // numbers convert on the way in
        v.text = text(fields[i]);
        if (foreign && !db.strings().converter().FromUtf8(v.text)) {
          if (!streams_table) db.DropTable(schema.name);
          return Failed(file + " line " + std::to_string(l + 1) + ": its text is in codepage " +
                        std::to_string(codepage) + ", which the package's codepage " +
                        std::to_string(db.strings().codepage()) +
                        " cannot hold; import a _ForceCodepage.idt naming the archive's codepage first")
              .WithInstallerError(installer_error::kImportFormat, {file, std::to_string(l + 1)});
        }
      }
    }
    if (streams_table && values[0].kind == sql::ParamValue::Kind::kString &&
        db.FindStream(values[0].text)) {
      db.RemoveStream(values[0].text);  // an import replaces
    }
    Status st = editor.Insert(values, false);
    if (!st.ok()) {
      // A half-imported table is no table at all: take it out again.
      if (!streams_table) db.DropTable(schema.name);
      return Status::Error(st.code(), file + " line " + std::to_string(l + 1) + ": " + st.message())
          .WithInstallerError(installer_error::kImportFormat, {file, std::to_string(l + 1)});
    }
  }
  editor.FinishLoad();
  return Status();
}

Status ExportIdt(Database& db, const std::string& table_name, const std::string& folder,
                 const std::string& file) {
  struct stat folder_info {};
  if (::stat(folder.c_str(), &folder_info) != 0 || !S_ISDIR(folder_info.st_mode)) {
    return Status::Error(161, "no folder " + folder);
  }
  if (table_name == "_ForceCodepage") {
    // Not a table: the archive form of the database codepage.
    std::ofstream out(folder + "/" + file, std::ios::binary | std::ios::trunc);
    out << "\r\n\r\n" << db.strings().codepage() << "\t_ForceCodepage\r\n";
    out.flush();
    return out ? Status() : Status::Error(29, "cannot write " + folder + "/" + file);
  }
  if (table_name == kSummaryArchiveTable) return ExportSummaryIdt(db, folder + "/" + file);
  if (db.Schema(table_name) == nullptr) return Status::Error(1628, "no table " + table_name);
  auto t = db.GetTable(table_name);
  if (!t.ok()) return t.status();
  Table& table = **t;
  CodepageConverter& conv = db.strings().converter();
  bool non_ascii = false;
  std::string unencodable;
  auto out_text = [&](const std::string& utf8) {
    auto bytes = conv.FromUtf8(utf8);
    if (!bytes && unencodable.empty()) unencodable = utf8;
    std::string s = bytes ? *bytes : utf8;
    for (char c : s) non_ascii = non_ascii || static_cast<unsigned char>(c) >= 0x80;
    return ArchiveEscape(s);
  };
  const auto& cols = table.schema().columns;
  std::string header1, header2, header3 = out_text(table_name), body;
  for (size_t c = 0; c < cols.size(); ++c) {
    if (c > 0) {
      header1 += '\t';
      header2 += '\t';
    }
    header1 += out_text(cols[c].name);
    header2 += TypeText(cols[c]);
    if (cols[c].is_key()) header3 += "\t" + out_text(cols[c].name);
  }
  bool made_folder = false;
  for (size_t r = 0; r < table.row_count(); ++r) {
    for (size_t c = 0; c < cols.size(); ++c) {
      if (c > 0) body += '\t';
      const sql::ParamValue v = sql::FromStored(db, table, r, c);
      switch (v.kind) {
        case sql::ParamValue::Kind::kNull: break;
        case sql::ParamValue::Kind::kInteger: body += std::to_string(v.integer); break;
        case sql::ParamValue::Kind::kString: body += out_text(v.text); break;
        case sql::ParamValue::Kind::kStream: {
          const std::string dir = folder + "/" + SafeFileName(table_name);
          if (!made_folder && ::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
            return Status::Error(29, "cannot create " + dir);
          }
          made_folder = true;
          const std::string key = table_name == "_Streams" ? v.text : db.CellStreamName(table, r);
          std::string name = SafeFileName(table_name == "_Streams"
                                              ? std::string(db.strings().Utf8(table.cell(r, 0)))
                                              : key.substr(table_name.size() + 1)) + ".ibd";
          std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
          out.write(reinterpret_cast<const char*>(v.stream->data()),
                    static_cast<std::streamsize>(v.stream->size()));
          if (!out) return Status::Error(29, "cannot write " + dir + "/" + name);
          body += out_text(name);
          break;
        }
      }
    }
    body += "\r\n";
  }
  if (!unencodable.empty()) {
    return Failed("table " + table_name + " holds text the package's codepage " +
                  std::to_string(db.strings().codepage()) + " cannot hold: \"" + unencodable + "\"");
  }
  if (non_ascii) header3 = std::to_string(db.strings().codepage()) + "\t" + header3;
  std::ofstream out(folder + "/" + file, std::ios::binary | std::ios::trunc);
  if (!out) return Status::Error(161, "cannot write " + folder + "/" + file);
  out << header1 << "\r\n" << header2 << "\r\n" << header3 << "\r\n" << body;
  out.flush();
  if (!out) return Status::Error(29, "cannot write " + folder + "/" + file);
  return Status();
}

}  // namespace msi
