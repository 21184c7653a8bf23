// msisql: runs statements of the installer's SQL dialect on a package and
// prints the rows as tab-separated text. The output format is a contract
// that scripts and the project's tests parse; see msisql --help.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "msiquery.h"

namespace {

constexpr const char* kUsage =
    "Usage: msisql PACKAGE STATEMENT...\n"
    "\n"
    "Opens PACKAGE read-only and runs each STATEMENT in order. For each SELECT\n"
    "it prints a line of column names, then one line per row. Fields are\n"
    "separated by one TAB; a null field prints nothing; in texts \\, TAB, LF and\n"
    "CR are written as \\\\, \\t, \\n and \\r; a stream prints as <N bytes>;\n"
    "integers print in decimal; output is UTF-8.\n"
    "\n"
    "Exit status: 0 on success; 1 on the first failure, after printing\n"
    "\"msisql: error N: DESCRIPTION\" to standard error (N is the installer's\n"
    "result code); 2 for a usage error.\n";

class Handle {
 public:
  Handle() = default;
  explicit Handle(MSIHANDLE h) : h_(h) {}
  ~Handle() { MsiCloseHandle(h_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  MSIHANDLE* out() { return &h_; }
  MSIHANDLE get() const { return h_; }

 private:
  MSIHANDLE h_ = 0;
};

int Fail(UINT code, const std::string& context) {
  const char* d = MsiExtResultDescriptionA(code);
  std::fprintf(stderr, "msisql: error %u: %s%s%s\n", code, d ? d : "unknown error",
               context.empty() ? "" : " ", context.c_str());
  return 1;
}

void AppendEscaped(std::string& out, const std::string& text) {
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out.push_back(c);
    }
  }
}

UINT FieldString(MSIHANDLE rec, UINT field, std::string* out) {
  DWORD len = 0;
  char probe[1] = {0};
  UINT r = MsiRecordGetStringA(rec, field, probe, &len);
  if (r == ERROR_SUCCESS) {
    out->clear();
    return r;
  }
  if (r != ERROR_MORE_DATA) return r;
  std::vector<char> buf(len + 1);
  DWORD size = len + 1;
  r = MsiRecordGetStringA(rec, field, buf.data(), &size);
  if (r == ERROR_SUCCESS) out->assign(buf.data(), size);
  return r;
}

// Prints one record's fields 1..count as a line.
UINT PrintRecord(MSIHANDLE rec, UINT count, bool names) {
  std::string line, value;
  for (UINT i = 1; i <= count; ++i) {
    if (i > 1) line.push_back('\t');
    if (MsiRecordIsNull(rec, i)) continue;
    const UINT r = FieldString(rec, i, &value);
    if (r == ERROR_INVALID_DATATYPE && !names) {
      line += "<" + std::to_string(MsiRecordDataSize(rec, i)) + " bytes>";
      continue;
    }
    if (r != ERROR_SUCCESS) return r;
    AppendEscaped(line, value);
  }
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stdout);
  return ERROR_SUCCESS;
}

bool IsSelect(const char* sql) {
  while (*sql == ' ' || *sql == '\t' || *sql == '\r' || *sql == '\n') ++sql;
  return strncasecmp(sql, "SELECT", 6) == 0;
}

int RunStatement(MSIHANDLE db, const char* sql) {
  Handle view;
  UINT r = MsiDatabaseOpenViewA(db, sql, view.out());
  if (r != ERROR_SUCCESS) return Fail(r, "in statement: " + std::string(sql));
  r = MsiViewExecute(view.get(), 0);
  if (r != ERROR_SUCCESS) return Fail(r, "executing: " + std::string(sql));
  if (!IsSelect(sql)) return 0;
  Handle names;
  r = MsiViewGetColumnInfo(view.get(), MSICOLINFO_NAMES, names.out());
  if (r != ERROR_SUCCESS) return Fail(r, "reading the column names");
  const UINT count = MsiRecordGetFieldCount(names.get());
  r = PrintRecord(names.get(), count, true);
  if (r != ERROR_SUCCESS) return Fail(r, "reading the column names");
  for (;;) {
    Handle row;
    r = MsiViewFetch(view.get(), row.out());
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) return Fail(r, "fetching a row");
    r = PrintRecord(row.get(), count, false);
    if (r != ERROR_SUCCESS) return Fail(r, "reading a row");
  }
  MsiViewClose(view.get());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  Handle db;
  UINT r = MsiOpenDatabaseA(argv[1], MSIDBOPEN_READONLY_A, db.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(argv[1]));
  for (int i = 2; i < argc; ++i) {
    const int rc = RunStatement(db.get(), argv[i]);
    if (rc != 0) return rc;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
