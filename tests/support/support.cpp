#include "support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace ts {

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadText(const fs::path& path) {
  Bytes b = ReadBytes(path);
  return std::string(b.begin(), b.end());
}

void WriteText(const fs::path& path, const std::string& text) {
  WriteBytes(path, Bytes(text.begin(), text.end()));
}

void CopyPackage(const fs::path& from, const fs::path& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                          fs::perms::others_read);
}

TempDir::TempDir() {
  // No dot before the random letters: "msitest.msiK3x" would hold ".msi",
  // which the report builder turns into ".html" wherever it stands.
  std::string pattern = (fs::temp_directory_path() / "msitest-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // A test may have made folders read-only; undo that before removing.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

namespace {
std::string IfPresent(const std::string& program) {
  return !program.empty() && fs::exists(program) ? program : std::string();
}
}  // namespace

std::string LibmsiOracle() { return IfPresent(TS_LIBMSI_ORACLE); }
std::string MsiInfo() { return IfPresent(TS_MSIINFO); }
std::string MsiBuild() { return IfPresent(TS_MSIBUILD); }
std::string Msisql() { return TS_MSISQL; }

RunResult Oracle(const std::vector<std::string>& args) {
  std::vector<std::string> argv{TS_LIBMSI_ORACLE};
  argv.insert(argv.end(), args.begin(), args.end());
  // libmsi leaks; in the sanitizer build that is not ours to report.
  RunOptions options;
  options.env = {"ASAN_OPTIONS=detect_leaks=0"};
  return Run(argv, options);
}

bool RunningInCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

fs::path CorpusDir() { return fs::path(TS_CORPUS_DIR); }

bool CorpusPresent() { return fs::is_directory(CorpusDir()); }

std::vector<fs::path> CorpusPackages() {
  std::vector<fs::path> result;
  if (!CorpusPresent()) return result;
  for (const auto& entry : fs::directory_iterator(CorpusDir())) {
    std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && (ext == ".msi" || ext == ".msm" || ext == ".cub")) {
      result.push_back(entry.path());
    }
  }
  std::sort(result.begin(), result.end());
  return result;
}

fs::path SamplePackage() { return fs::path(TS_SAMPLE_PACKAGE); }

UINT Open(const fs::path& path, LPCSTR persist, Handle& db) {
  return MsiOpenDatabaseA(path.c_str(), persist, db.out());
}

UINT OpenTo(const fs::path& path, const fs::path& output, Handle& db) {
  return MsiOpenDatabaseA(path.c_str(), output.c_str(), db.out());
}

UINT Exec(MSIHANDLE db, const std::string& sql, MSIHANDLE params) {
  Handle view;
  UINT r = MsiDatabaseOpenViewA(db, sql.c_str(), view.out());
  if (r != ERROR_SUCCESS) return r;
  r = MsiViewExecute(view, params);
  MsiViewClose(view);
  return r;
}

Handle MakeRecord(const std::vector<std::string>& fields) {
  Handle rec(MsiCreateRecord(static_cast<UINT>(fields.size())));
  for (size_t i = 0; i < fields.size(); ++i) {
    const std::string& f = fields[i];
    UINT n = static_cast<UINT>(i + 1);
    if (f.empty()) continue;
    if (f[0] == '#') {
      MsiRecordSetInteger(rec, n, std::stoi(f.substr(1)));
    } else {
      MsiRecordSetStringA(rec, n, f.c_str());
    }
  }
  return rec;
}

namespace {

void PutEscaped(std::string& out, const std::string& text) {
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
}

}  // namespace

std::string FieldText(MSIHANDLE record, UINT field) {
  char probe[1] = {0};
  DWORD size = 1;
  UINT r = MsiRecordGetStringA(record, field, probe, &size);
  if (r == ERROR_SUCCESS) return std::string();
  if (r != ERROR_MORE_DATA) return "<error " + std::to_string(r) + ">";
  std::string buffer(++size, '\0');
  r = MsiRecordGetStringA(record, field, buffer.data(), &size);
  if (r != ERROR_SUCCESS) return "<error " + std::to_string(r) + ">";
  buffer.resize(size);
  return buffer;
}

Bytes FieldStream(MSIHANDLE record, UINT field) {
  Bytes data;
  char buffer[65536];
  for (;;) {
    DWORD n = sizeof buffer;
    if (MsiRecordReadStream(record, field, buffer, &n) != ERROR_SUCCESS || n == 0) break;
    data.insert(data.end(), buffer, buffer + n);
  }
  return data;
}

std::string Select(MSIHANDLE db, const std::string& sql) {
  Handle view;
  UINT r = MsiDatabaseOpenViewA(db, sql.c_str(), view.out());
  if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
  r = MsiViewExecute(view, 0);
  if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
  std::string out;
  Handle names;
  r = MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, names.out());
  if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
  UINT count = MsiRecordGetFieldCount(names);
  for (UINT i = 1; i <= count; ++i) {
    if (i > 1) out += '\t';
    out += FieldText(names, i);
  }
  out += '\n';
  for (;;) {
    Handle row;
    r = MsiViewFetch(view, row.out());
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) return out + "error " + std::to_string(r);
    for (UINT i = 1; i <= count; ++i) {
      if (i > 1) out += '\t';
      if (MsiRecordIsNull(row, i)) continue;
      DWORD cap = 1;
      char probe[1];
      UINT s = MsiRecordGetStringA(row, i, probe, &cap);
      if (s == ERROR_INVALID_DATATYPE) {
        out += "<" + std::to_string(MsiRecordDataSize(row, i)) + " bytes>";
      } else {
        PutEscaped(out, FieldText(row, i));
      }
    }
    out += '\n';
  }
  return out;
}

std::string ColumnInfo(MSIHANDLE db, const std::string& sql, MSICOLINFO kind) {
  Handle view, rec;
  if (MsiDatabaseOpenViewA(db, sql.c_str(), view.out()) != ERROR_SUCCESS) return "no view";
  if (MsiViewGetColumnInfo(view, kind, rec.out()) != ERROR_SUCCESS) return "no column info";
  std::string out;
  for (UINT f = 1; f <= MsiRecordGetFieldCount(rec); ++f) out += (f > 1 ? "\t" : "") + FieldText(rec, f);
  return out;
}

std::vector<std::string> TableNames(MSIHANDLE db) {
  std::vector<std::string> names;
  Handle view;
  if (MsiDatabaseOpenViewA(db, "SELECT `Name` FROM `_Tables`", view.out()) != ERROR_SUCCESS) return names;
  if (MsiViewExecute(view, 0) != ERROR_SUCCESS) return names;
  for (;;) {
    Handle row;
    if (MsiViewFetch(view, row.out()) != ERROR_SUCCESS) break;
    names.push_back(FieldText(row, 1));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string DumpTables(MSIHANDLE db) {
  std::string out;
  for (const auto& t : TableNames(db)) out += Select(db, "SELECT * FROM `" + t + "`");
  return out;
}

std::map<std::string, Bytes> EngineStreams(MSIHANDLE db) {
  std::map<std::string, Bytes> streams;
  Handle view;
  if (MsiDatabaseOpenViewA(db, "SELECT `Name`, `Data` FROM `_Streams`", view.out()) != ERROR_SUCCESS) {
    return streams;
  }
  if (MsiViewExecute(view, 0) != ERROR_SUCCESS) return streams;
  for (;;) {
    Handle row;
    if (MsiViewFetch(view, row.out()) != ERROR_SUCCESS) break;
    streams[FieldText(row, 1)] = FieldStream(row, 2);
  }
  return streams;
}

std::string OracleSelect(const fs::path& package, const std::vector<std::string>& statements,
                         int* exit_code) {
  std::vector<std::string> args{"select", package.string()};
  args.insert(args.end(), statements.begin(), statements.end());
  RunResult r = Oracle(args);
  if (exit_code != nullptr) *exit_code = r.exit_code;
  if (r.exit_code != 0) return r.out + r.err;
  return r.out;
}

std::string OracleDumpTables(const fs::path& package, const std::vector<std::string>& tables) {
  std::vector<std::string> statements;
  for (const auto& t : tables) statements.push_back("SELECT * FROM `" + t + "`");
  if (statements.empty()) return std::string();
  return OracleSelect(package, statements);
}

std::map<std::string, Bytes> OracleStreams(const fs::path& package) {
  std::map<std::string, Bytes> streams;
  RunResult list = Run({MsiInfo(), "streams", package.string()});
  std::istringstream lines(list.out);
  std::string name;
  while (std::getline(lines, name)) {
    if (name.empty()) continue;
    RunResult data = Run({MsiInfo(), "extract", package.string(), name});
    streams[name] = Bytes(data.out.begin(), data.out.end());
  }
  return streams;
}

std::string OracleSummary(const fs::path& package) {
  RunResult r = Run({MsiInfo(), "suminfo", package.string()});
  return r.out + (r.exit_code == 0 ? std::string() : "exit " + std::to_string(r.exit_code) + r.err);
}

std::vector<std::string> SplitText(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

std::string SortedAfterHeader(const std::string& text) {
  std::vector<std::string> lines = SplitText(text);
  if (!lines.empty()) std::sort(lines.begin() + 1, lines.end());
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

std::string FirstDifference(const std::string& a, const std::string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  size_t from = i > 80 ? i - 80 : 0;
  return "at byte " + std::to_string(i) + ":\n  first : ..." + a.substr(from, 200) + "\n  second: ..." +
         b.substr(from, 200);
}

}  // namespace ts
