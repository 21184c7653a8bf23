#include "transform_command.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli_support.h"
#include "msiquery.h"

namespace {

using namespace msisql;

std::optional<std::string> Field(MSIHANDLE rec, UINT i) {
  if (MsiRecordIsNull(rec, i)) return std::nullopt;
  DWORD len = 0;
  char probe[1] = {0};
  if (MsiRecordGetStringA(rec, i, probe, &len) == ERROR_SUCCESS) return std::string();
  std::vector<char> buf(len + 1);
  DWORD size = len + 1;
  if (MsiRecordGetStringA(rec, i, buf.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  return std::string(buf.data(), size);
}

std::string Shown(const std::optional<std::string>& v) { return v ? Escaped(*v) : "(null)"; }

// The installer's type text (s72, I4, V0, ...) of a column type number.
std::string TypeText(int type) {
  const bool nullable = (type & 0x1000) != 0;
  char letter;
  if ((type & 0x0800) == 0) letter = 'i';
  else if ((type & 0x0400) == 0) letter = 'v';
  else letter = (type & 0x0200) != 0 ? 'l' : 's';
  if (nullable) letter = static_cast<char>(letter - 'a' + 'A');
  std::string out(1, letter);
  out += std::to_string(type & 0xFF);
  if ((type & 0x2000) != 0) out += " key";
  return out;
}

// "[a, b]" from the tab-separated key of _TransformView.
std::string KeyText(const std::string& row) {
  std::string out = "[";
  for (char c : row) {
    if (c == '\t') out += ", ";
    else out.push_back(c);
  }
  return out + "]";
}

struct Change {
  std::string column;
  std::optional<std::string> data, current;
};

// Columns of a table in their order, from the package or from the
// transform's column definitions.
std::vector<std::string> ColumnOrder(MSIHANDLE db, const std::string& table,
                                     const std::map<int, std::string>& defined) {
  std::vector<std::string> names;
  Handle view, rec;
  if (MsiDatabaseOpenViewA(db, ("SELECT * FROM `" + table + "`").c_str(), view.out()) == ERROR_SUCCESS &&
      MsiViewGetColumnInfo(view.get(), MSICOLINFO_NAMES, rec.out()) == ERROR_SUCCESS) {
    for (UINT i = 1; i <= MsiRecordGetFieldCount(rec.get()); ++i) names.push_back(Field(rec.get(), i).value_or(""));
  }
  for (const auto& [number, name] : defined) {
    bool known = false;
    for (const auto& n : names) known = known || n == name;
    if (!known) names.push_back(name);
  }
  return names;
}

// Prints the contents of _TransformView as change lines, table by table.
int PrintView(MSIHANDLE db) {
  Handle view;
  UINT r = MsiDatabaseOpenViewA(db, "SELECT `Table`, `Column`, `Row`, `Data`, `Current` FROM `_TransformView`",
                                view.out());
  if (r == ERROR_BAD_QUERY_SYNTAX) return 0;  // nothing was viewed
  if (r != ERROR_SUCCESS) return Fail(r, "reading _TransformView");
  if ((r = MsiViewExecute(view.get(), 0)) != ERROR_SUCCESS) return Fail(r, "reading _TransformView");
  struct TableChanges {
    std::vector<std::string> ddl;
    std::map<int, std::string> columns;  // number -> name, of added columns
    std::map<int, std::string> column_lines;
    std::map<std::string, std::string> row_ops;  // key -> INSERT / DELETE
    std::map<std::string, std::vector<Change>> cells;
  };
  std::map<std::string, TableChanges> tables;
  for (;;) {
    Handle rec;
    r = MsiViewFetch(view.get(), rec.out());
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) return Fail(r, "reading _TransformView");
    const std::string table = Field(rec.get(), 1).value_or("");
    const std::string column = Field(rec.get(), 2).value_or("");
    const auto row = Field(rec.get(), 3);
    TableChanges& t = tables[table];
    if (!row) {
      if (column == "CREATE") t.ddl.insert(t.ddl.begin(), "table added");
      else if (column == "DROP") t.ddl.push_back("table dropped");
      else {
        const int number = std::atoi(Field(rec.get(), 5).value_or("0").c_str());
        t.columns[number] = column;
        t.column_lines[number] = ("column " + std::to_string(number) + " " + column + " " +
                        TypeText(std::atoi(Field(rec.get(), 4).value_or("0").c_str())) + " added");
      }
    } else if (column == "INSERT" || column == "DELETE") {
      t.row_ops[*row] = column;
    } else {
      t.cells[*row].push_back({column, Field(rec.get(), 4), Field(rec.get(), 5)});
    }
  }
  std::string out;
  for (auto& [name, t] : tables) {
    out += "== " + name + "\n";
    for (const auto& line : t.ddl) out += "  " + line + "\n";
    for (const auto& [number, line] : t.column_lines) out += "  " + line + "\n";
    const std::vector<std::string> order = ColumnOrder(db, name, t.columns);
    auto rank = [&](const std::string& col) {
      for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] == col) return i;
      }
      return order.size();
    };
    std::map<std::string, bool> keys;
    for (const auto& [k, op] : t.row_ops) keys[k] = true;
    for (const auto& [k, cells] : t.cells) keys[k] = true;
    for (const auto& [key, unused] : keys) {
      (void)unused;
      auto op = t.row_ops.find(key);
      auto& cells = t.cells[key];
      std::stable_sort(cells.begin(), cells.end(),
                       [&](const Change& a, const Change& b) { return rank(a.column) < rank(b.column); });
      if (op != t.row_ops.end() && op->second == "DELETE") {
        out += "- " + KeyText(key) + "\n";
      } else if (op != t.row_ops.end()) {
        std::string line = "+ " + KeyText(key);
        for (const Change& c : cells) {
          if (c.data) line += " " + c.column + "=" + Escaped(*c.data);
        }
        out += line + "\n";
      } else {
        for (const Change& c : cells) {
          out += "~ " + KeyText(key) + " " + c.column + ": " + Shown(c.current) + " -> " + Shown(c.data) + "\n";
        }
      }
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

std::optional<int> ParseSuppress(const std::string& text) {
  static const std::map<std::string, int> kNames = {
      {"addexistingrow", MSITRANSFORM_ERROR_ADDEXISTINGROW},
      {"delmissingrow", MSITRANSFORM_ERROR_DELMISSINGROW},
      {"addexistingtable", MSITRANSFORM_ERROR_ADDEXISTINGTABLE},
      {"delmissingtable", MSITRANSFORM_ERROR_DELMISSINGTABLE},
      {"updatemissingrow", MSITRANSFORM_ERROR_UPDATEMISSINGROW},
      {"changecodepage", MSITRANSFORM_ERROR_CHANGECODEPAGE},
      {"all", 0x3F}};
  int flags = 0;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    for (char& c : part) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto it = kNames.find(part);
    if (it != kNames.end()) {
      flags |= it->second;
    } else {
      char* end = nullptr;
      const long v = std::strtol(part.c_str(), &end, 0);
      if (part.empty() || *end != '\0' || v < 0 || (v & ~0x3F) != 0) return std::nullopt;
      flags |= static_cast<int>(v);
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return flags;
}

// A temporary file name in TMPDIR (or /tmp), removed by the destructor.
class TempFile {
 public:
  TempFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/msisql-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = mkstemp(buf.data());
    if (fd >= 0) {
      ::close(fd);
      path_ = buf.data();
    }
  }
  ~TempFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

int MakeTransform(const char* old_package, const char* new_package, const char* out) {
  Handle older, newer;
  UINT r = MsiOpenDatabaseA(old_package, MSIDBOPEN_READONLY_A, older.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(old_package));
  r = MsiOpenDatabaseA(new_package, MSIDBOPEN_READONLY_A, newer.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(new_package));
  r = MsiDatabaseGenerateTransformA(newer.get(), older.get(), out, 0, 0);
  if (r != ERROR_SUCCESS) return Fail(r, "writing " + std::string(out));
  r = MsiCreateTransformSummaryInfoA(newer.get(), older.get(), out, 0, 0);
  if (r != ERROR_SUCCESS) return Fail(r, "writing the summary information of " + std::string(out));
  return 0;
}

int ApplyTransforms(int argc, char** argv) {
  int flags = 0;
  int i = 0;
  if (i < argc && std::strcmp(argv[i], "--suppress") == 0) {
    if (i + 1 >= argc) return Usage("--suppress needs FLAGS");
    auto parsed = ParseSuppress(argv[i + 1]);
    if (!parsed) return Usage("unknown --suppress flags");
    flags = *parsed;
    i += 2;
  }
  if (argc - i < 2) return Usage("--apply-transform needs PACKAGE and TRANSFORM");
  const char* package = argv[i++];
  Handle db;
  UINT r = MsiOpenDatabaseA(package, MSIDBOPEN_TRANSACT_A, db.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(package));
  for (; i < argc; ++i) {
    r = MsiDatabaseApplyTransformA(db.get(), argv[i], flags);
    // Nothing is committed: the package stays as it was.
    if (r != ERROR_SUCCESS) return Fail(r, "applying " + std::string(argv[i]));
  }
  r = MsiDatabaseCommit(db.get());
  if (r != ERROR_SUCCESS) return Fail(r, "committing " + std::string(package));
  return 0;
}

int ShowTransform(int argc, char** argv) {
  if (argc == 2) {
    Handle db;
    UINT r = MsiOpenDatabaseA(argv[0], MSIDBOPEN_READONLY_A, db.out());
    if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(argv[0]));
    r = MsiDatabaseApplyTransformA(db.get(), argv[1], MSITRANSFORM_ERROR_VIEWTRANSFORM);
    if (r != ERROR_SUCCESS) return Fail(r, "reading " + std::string(argv[1]));
    return PrintView(db.get());
  }
  if (argc != 1) return Usage("--show-transform needs PACKAGE TRANSFORM, or PATCH");
  Handle patch;
  UINT r = MsiOpenDatabaseA(argv[0], reinterpret_cast<LPCSTR>(MSIDBOPEN_PATCHFILE), patch.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(argv[0]));
  std::vector<std::string> names;
  {
    Handle view;
    r = MsiDatabaseOpenViewA(patch.get(), "SELECT `Name` FROM `_Storages`", view.out());
    if (r == ERROR_SUCCESS) r = MsiViewExecute(view.get(), 0);
    if (r != ERROR_SUCCESS) return Fail(r, "listing the transforms of " + std::string(argv[0]));
    for (;;) {
      Handle rec;
      if (MsiViewFetch(view.get(), rec.out()) != ERROR_SUCCESS) break;
      names.push_back(Field(rec.get(), 1).value_or(""));
    }
  }
  for (const std::string& name : names) {
    std::printf("### transform %s\n", Escaped(name).c_str());
    // Each transform is viewed on its own, in a fresh view of the patch.
    Handle db;
    r = MsiOpenDatabaseA(argv[0], reinterpret_cast<LPCSTR>(MSIDBOPEN_PATCHFILE), db.out());
    if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(argv[0]));
    r = MsiDatabaseApplyTransformA(db.get(), (":" + name).c_str(), MSITRANSFORM_ERROR_VIEWTRANSFORM);
    if (r != ERROR_SUCCESS) return Fail(r, "reading transform " + name);
    if (PrintView(db.get()) != 0) return 1;
  }
  return 0;
}

int DiffPackages(const char* old_package, const char* new_package) {
  TempFile mst;
  if (mst.path().empty()) return Fail(ERROR_OPEN_FAILED, "creating a temporary file");
  Handle older, newer;
  UINT r = MsiOpenDatabaseA(old_package, MSIDBOPEN_READONLY_A, older.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(old_package));
  r = MsiOpenDatabaseA(new_package, MSIDBOPEN_READONLY_A, newer.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(new_package));
  r = MsiDatabaseGenerateTransformA(newer.get(), older.get(), mst.path().c_str(), 0, 0);
  if (r != ERROR_SUCCESS) return Fail(r, "comparing the packages");
  r = MsiDatabaseApplyTransformA(older.get(), mst.path().c_str(), MSITRANSFORM_ERROR_VIEWTRANSFORM);
  if (r != ERROR_SUCCESS) return Fail(r, "comparing the packages");
  return PrintView(older.get());
}
