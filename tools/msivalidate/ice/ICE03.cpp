// ICE03: every row of every table holds what the package's _Validation
// table allows (types, sets, ranges, formats, foreign keys), and every
// column is described there.
#include <set>
#include <string>
#include <utility>

#include "evaluator.h"

namespace msivalidate {
namespace {

class Handle {
 public:
  Handle() = default;
  ~Handle() {
    if (h_) MsiCloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  MSIHANDLE* out() {
    if (h_) MsiCloseHandle(h_);
    h_ = 0;
    return &h_;
  }
  MSIHANDLE get() const { return h_; }

 private:
  MSIHANDLE h_ = 0;
};

constexpr const char* kMissing = "Missing specifications in _Validation Table";

// The messages the platform posts for each MSIDBERROR.
const char* Describe(int code) {
  switch (code) {
    case MSIDBERROR_DUPLICATEKEY: return "Duplicate Primary Key";
    case MSIDBERROR_REQUIRED: return "Not A Nullable Column";
    case MSIDBERROR_BADLINK: return "Not A Valid Foreign Key";
    case MSIDBERROR_OVERFLOW: return "Value exceeds MaxValue";
    case MSIDBERROR_UNDERFLOW: return "Value below MinValue";
    case MSIDBERROR_NOTINSET: return "Value not a member of the set";
    case MSIDBERROR_BADVERSION: return "Invalid version string";
    case MSIDBERROR_BADCASE: return "All UPPER case required";
    case MSIDBERROR_BADGUID: return "Invalid GUID string";
    case MSIDBERROR_BADWILDCARD: return "Invalid file name/usage of wildcards";
    case MSIDBERROR_BADIDENTIFIER: return "Invalid identifier";
    case MSIDBERROR_BADLANGUAGE: return "Invalid Language Id";
    case MSIDBERROR_BADFILENAME: return "Invalid Filename";
    case MSIDBERROR_BADPATH: return "Invalid full path";
    case MSIDBERROR_BADCONDITION: return "Bad conditional string";
    case MSIDBERROR_BADFORMATTED: return "Invalid format string";
    case MSIDBERROR_BADTEMPLATE: return "Invalid template string";
    case MSIDBERROR_BADDEFAULTDIR: return "Invalid DefaultDir string";
    case MSIDBERROR_BADREGPATH: return "Invalid registry path";
    case MSIDBERROR_BADCUSTOMSOURCE: return "Bad CustomSource data";
    case MSIDBERROR_BADPROPERTY: return "Invalid property string";
    case MSIDBERROR_MISSINGDATA: return kMissing;
    case MSIDBERROR_BADCATEGORY: return "_Validation table: Invalid category string";
    case MSIDBERROR_BADKEYTABLE: return "_Validation table: Data in KeyTable column is incorrect";
    case MSIDBERROR_BADMAXMINVALUES:
      return "_Validation table: Value in MaxValue column < that in MinValue column";
    case MSIDBERROR_BADCABINET: return "Bad cabinet syntax/name";
    case MSIDBERROR_BADSHORTCUT: return "Bad shortcut target";
    case MSIDBERROR_STRINGOVERFLOW: return "String overflow (greater than length permitted in column)";
    case MSIDBERROR_BADLOCALIZEATTRIB: return "Column cannot be localized";
    default: return "Undefined error";
  }
}

// Errors about the value itself name it; the others are about the column
// or the row as a whole.
bool NamesValue(int code) {
  switch (code) {
    case MSIDBERROR_DUPLICATEKEY:
    case MSIDBERROR_REQUIRED:
    case MSIDBERROR_MISSINGDATA:
    case MSIDBERROR_BADCATEGORY:
    case MSIDBERROR_BADKEYTABLE:
    case MSIDBERROR_BADMAXMINVALUES:
    case MSIDBERROR_BADLOCALIZEATTRIB:
      return false;
    default:
      return true;
  }
}

std::string Quote(const std::string& name) {
  std::string q = "`";
  for (char c : name)
    if (c != '`') q += c;
  return q + "`";
}

// Validates each row of `table` through the engine; false when the engine
// cannot validate at all (a _Validation table it cannot use).
bool ValidateRows(Context& ctx, const Table& table) {
  MSIHANDLE db = ctx.package().handle();
  Handle view;
  UINT r = MsiDatabaseOpenViewA(db, ("SELECT * FROM " + Quote(table.name)).c_str(), view.out());
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view.get(), 0);
  if (r != ERROR_SUCCESS) {
    ctx.Fail("Cannot read the " + table.name + " table: " + DescribeResult(r));
    return true;
  }
  // The loaded table was read by the same query: its rows come in this
  // order, and the findings take the row's keys and values from there.
  for (size_t index = 0;; ++index) {
    Handle record;
    r = MsiViewFetch(view.get(), record.out());
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) {
      ctx.Fail("Cannot read the " + table.name + " table: " + DescribeResult(r));
      return true;
    }
    r = MsiViewModify(view.get(), MSIMODIFY_VALIDATE, record.get());
    if (r == ERROR_SUCCESS) continue;
    if (r == ERROR_INVALID_TABLE) {
      ctx.Fail("The _Validation table cannot be used: " + DescribeResult(r));
      return false;
    }
    if (r != ERROR_INVALID_DATA || index >= table.rows.size()) {
      ctx.Fail("Cannot validate the " + table.name + " table: " + DescribeResult(r));
      return true;
    }
    const Row& row = table.rows[index];
    for (;;) {
      char small[80];
      DWORD size = sizeof small;
      std::string column;
      MSIDBERROR code = MsiViewGetErrorA(view.get(), small, &size);
      if (code == MSIDBERROR_MOREDATA) {  // a name longer than any schema gives
        column.assign(size + 1, '\0');
        size += 1;
        code = MsiViewGetErrorA(view.get(), column.data(), &size);
      } else {
        column.assign(small, code > MSIDBERROR_NOERROR ? size : 0);
      }
      if (code <= MSIDBERROR_NOERROR) break;
      column.resize(size);
      // Reported once per column, not once per row.
      if (code == MSIDBERROR_MISSINGDATA) continue;
      std::string message = Describe(code);
      if (NamesValue(code)) message += ": " + table.Text(row, column);
      ctx.Report(Severity::Error, table, column, row, message);
    }
  }
  return true;
}

void Run(Context& ctx) {
  Package& package = ctx.package();
  const Table* validation = ctx.Read("_Validation");
  if (!validation && package.HasTable("_Validation")) return;  // unreadable: failed
  if (validation && (!validation->Has("Table") || !validation->Has("Column"))) {
    // Describes nothing: every column is reported, and the engine refuses it.
    ctx.Fail("The _Validation table has no Table or Column column");
    validation = nullptr;
  }
  std::set<std::pair<std::string, std::string>, std::less<>> described;
  if (validation)
    for (const Row& row : validation->rows)
      described.emplace(validation->Text(row, "Table"), validation->Text(row, "Column"));

  const std::vector<std::string> names = package.TableNames();
  for (const std::string& name : names) {
    // _Validation describes the other tables; its own KeyTable lists
    // ("File;Registry;ODBCDataSource") break the Identifier rule its schema
    // row gives, in every package.
    if (name == "_Validation") continue;
    const Table* table = ctx.Read(name);
    if (!table) continue;
    for (const std::string& column : table->columns)
      if (!described.count({name, column}))
        ctx.ReportAt(Severity::Error, name, column, {}, kMissing);
    if (validation && !ValidateRows(ctx, *table)) return;
  }
}

const Registration kICE03("ICE03", Run);

}  // namespace
}  // namespace msivalidate
