// msisql: runs statements of the installer's SQL dialect on a package and
// prints the rows as tab-separated text. The output format is a contract
// that scripts and the project's tests parse; see msisql --help.
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <utility>
#include <string>
#include <vector>

#include "msiquery.h"
#include "cli_support.h"
#include "summary_command.h"
#include "transform_command.h"

namespace {

using namespace msisql;

constexpr const char* kUsage =
    "Usage: msisql PACKAGE STATEMENT...\n"
    "       msisql --write PACKAGE STATEMENT...\n"
    "       msisql --import PACKAGE FILE.idt...\n"
    "       msisql --export PACKAGE DIR [TABLE...]\n"
    "       msisql --summary PACKAGE\n"
    "       msisql --summary-set PACKAGE NAME=VALUE...\n"
    "       msisql --make-transform OLD NEW OUT.mst\n"
    "       msisql --apply-transform [--suppress FLAGS] PACKAGE TRANSFORM...\n"
    "       msisql --show-transform PACKAGE TRANSFORM\n"
    "       msisql --show-transform PATCH.msp\n"
    "       msisql --diff OLD NEW\n"
    "       msisql --check-condition CONDITION\n"
    "\n"
    "Opens PACKAGE read-only and runs each STATEMENT in order. For each SELECT\n"
    "it prints a line of column names, then one line per row. Fields are\n"
    "separated by one TAB; a null field prints nothing; in texts \\, TAB, LF and\n"
    "CR are written as \\\\, \\t, \\n and \\r; a stream prints as <N bytes>;\n"
    "integers print in decimal; output is UTF-8.\n"
    "\n"
    "Exit status: 0 on success; 1 on the first failure, after printing\n"
    "\"msisql: error N: DESCRIPTION\" to standard error (N is the installer's\n"
    "result code); 2 for a usage error.\n"
    "\n"
    "--write runs all statements in one transaction on PACKAGE and commits only\n"
    "if every one succeeds; on a failure the package is left as it was.\n"
    "--import reads .idt archive files (one table each) into PACKAGE, creating\n"
    "it when it does not exist, and commits.\n"
    "--export writes the named tables (all tables, _ForceCodepage.idt, the\n"
    "codepage, and _SummaryInformation.idt, the summary information, when none\n"
    "are named) to DIR as .idt archive files, binary fields as files in\n"
    "DIR/TABLE/.\n"
    "--summary prints the summary information, one property a line: NAME, TAB,\n"
    "VALUE (texts escaped as above, file times as ISO 8601 UTC such as\n"
    "2009-06-01T12:34:56Z). NAME is one of Codepage, Title, Subject, Author,\n"
    "Keywords, Comments, Template, LastAuthor, RevisionNumber, EditTime,\n"
    "LastPrinted, CreateTime, LastSaveTime, PageCount, WordCount,\n"
    "CharacterCount, AppName, Security; unset properties are left out.\n"
    "--summary-set sets those properties (NAME in any letter case; numbers in\n"
    "decimal, file times as --summary prints them) and rewrites only the\n"
    "summary stream; if any assignment fails nothing is written. Texts must\n"
    "fit the summary's own codepage (Codepage).\n"
    "--make-transform writes the transform that turns OLD into NEW, with its\n"
    "summary information (OUT.mst is replaced atomically).\n"
    "--apply-transform applies the transforms in order and commits once; if\n"
    "any fails the package is left as it was. FLAGS are the error conditions\n"
    "to suppress, comma-separated: addexistingrow, delmissingrow,\n"
    "addexistingtable, delmissingtable, updatemissingrow, changecodepage,\n"
    "all, or a number.\n"
    "--show-transform prints what TRANSFORM would change in PACKAGE, without\n"
    "changing it; given a patch it lists the patch's transforms and shows\n"
    "each. --diff prints the same report between two packages. Each table\n"
    "starts with \"== TABLE\", then \"  table added\", \"  table dropped\",\n"
    "\"  column N NAME TYPE added\", \"+ [KEY] COLUMN=VALUE...\" for an inserted\n"
    "row, \"- [KEY]\" for a deleted row and \"~ [KEY] COLUMN: OLD -> NEW\" for\n"
    "a changed cell ((null) for null).\n"
    "--check-condition checks the syntax of an installer condition (the text\n"
    "of a Condition column) without evaluating it. A valid condition prints\n"
    "\"valid\" and exits 0; otherwise three lines go to standard output, the\n"
    "condition, a caret under the place where it stops parsing, and\n"
    "\"offset N: MESSAGE\" (N in bytes from 0), and the exit status is 1.\n"
    "The package is written atomically: a failed or interrupted commit leaves\n"
    "the old file intact.\n";

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

int Write(int argc, char** argv) {
  Handle db;
  UINT r = MsiOpenDatabaseA(argv[2], MSIDBOPEN_TRANSACT_A, db.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(argv[2]));
  for (int i = 3; i < argc; ++i) {
    const int rc = RunStatement(db.get(), argv[i]);
    if (rc != 0) return rc;  // closing without commit drops every change
  }
  r = MsiDatabaseCommit(db.get());
  if (r != ERROR_SUCCESS) return Fail(r, "committing " + std::string(argv[2]));
  return std::fflush(stdout) == 0 ? 0 : 1;
}

std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

int Import(int argc, char** argv) {
  Handle db;
  const bool exists = access(argv[2], F_OK) == 0;
  UINT r = MsiOpenDatabaseA(argv[2], exists ? MSIDBOPEN_TRANSACT_A : MSIDBOPEN_CREATE_A, db.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(argv[2]));
  for (int i = 3; i < argc; ++i) {
    const auto [folder, file] = SplitPath(argv[i]);
    r = MsiDatabaseImportA(db.get(), folder.c_str(), file.c_str());
    if (r != ERROR_SUCCESS) return Fail(r, "importing " + std::string(argv[i]));
  }
  r = MsiDatabaseCommit(db.get());
  if (r != ERROR_SUCCESS) return Fail(r, "committing " + std::string(argv[2]));
  return 0;
}

int Export(int argc, char** argv) {
  Handle db;
  UINT r = MsiOpenDatabaseA(argv[2], MSIDBOPEN_READONLY_A, db.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening " + std::string(argv[2]));
  std::vector<std::string> tables;
  for (int i = 4; i < argc; ++i) tables.emplace_back(argv[i]);
  if (tables.empty()) {
    Handle view, row;
    r = MsiDatabaseOpenViewA(db.get(), "SELECT `Name` FROM `_Tables`", view.out());
    if (r == ERROR_SUCCESS) r = MsiViewExecute(view.get(), 0);
    while (r == ERROR_SUCCESS) {
      Handle rec;
      r = MsiViewFetch(view.get(), rec.out());
      if (r != ERROR_SUCCESS) break;
      std::string name;
      r = FieldString(rec.get(), 1, &name);
      if (r == ERROR_SUCCESS) tables.push_back(name);
    }
    if (r != ERROR_NO_MORE_ITEMS) return Fail(r, "listing the tables");
    // The codepage and the summary information travel too, so that an
    // import rebuilds the same package.
    tables.emplace_back("_ForceCodepage");
    tables.emplace_back("_SummaryInformation");
  }
  for (const std::string& table : tables) {
    const std::string file = table + ".idt";
    r = MsiDatabaseExportA(db.get(), table.c_str(), argv[3], file.c_str());
    if (r != ERROR_SUCCESS) return Fail(r, "exporting " + table);
  }
  return 0;
}

// Compiler style: the text, a caret under the fault, the reason.
int CheckCondition(const char* condition) {
  DWORD offset = 0;
  std::string message(256, '\0');
  DWORD size = static_cast<DWORD>(message.size());
  UINT r = MsiExtCheckConditionA(condition, &offset, message.data(), &size);
  if (r == ERROR_MORE_DATA) {
    message.assign(size + 1, '\0');
    size = static_cast<DWORD>(message.size());
    r = MsiExtCheckConditionA(condition, &offset, message.data(), &size);
  }
  if (r == ERROR_SUCCESS) return std::puts("valid") >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
  if (r != ERROR_BAD_QUERY_SYNTAX) return Fail(r, "checking the condition");
  message.resize(size);
  // Line breaks and tabs show as spaces so that the caret stays under its
  // character; columns count characters, not UTF-8 bytes.
  std::string line(condition), caret;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\t' || line[i] == '\n' || line[i] == '\r') line[i] = ' ';
    if (i < offset && (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) caret.push_back(' ');
  }
  caret.push_back('^');
  std::printf("%s\n%s\noffset %u: %s\n", line.c_str(), caret.c_str(),
              static_cast<unsigned>(offset), message.c_str());
  std::fflush(stdout);
  return 1;
}

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--write") == 0) {
    if (argc < 4) return std::fputs(kUsage, stderr), 2;
    return Write(argc, argv);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--import") == 0) {
    if (argc < 4) return std::fputs(kUsage, stderr), 2;
    return Import(argc, argv);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--export") == 0) {
    if (argc < 4) return std::fputs(kUsage, stderr), 2;
    return Export(argc, argv);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--summary") == 0) {
    if (argc != 3) return std::fputs(kUsage, stderr), 2;
    return PrintSummary(argv[2]);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--summary-set") == 0) {
    if (argc < 4) return std::fputs(kUsage, stderr), 2;
    return SetSummary(argv[2], argc - 3, argv + 3);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--make-transform") == 0) {
    if (argc != 5) return std::fputs(kUsage, stderr), 2;
    return MakeTransform(argv[2], argv[3], argv[4]);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--apply-transform") == 0) {
    return ApplyTransforms(argc - 2, argv + 2);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--show-transform") == 0) {
    return ShowTransform(argc - 2, argv + 2);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--diff") == 0) {
    if (argc != 4) return std::fputs(kUsage, stderr), 2;
    return DiffPackages(argv[2], argv[3]);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--check-condition") == 0) {
    if (argc != 3) return std::fputs(kUsage, stderr), 2;
    return CheckCondition(argv[2]);
  }
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
