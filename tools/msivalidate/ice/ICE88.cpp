// ICE88: an INI file's DirProperty names a directory or a property the
// package sets (Property, AppSearch, a type 51 custom action) or one of the
// system folders the installer resolves.
#include <set>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr const char* kSystemFolders[] = {"ProgramFilesFolder",   "CommonFilesFolder",
                                          "SystemFolder",         "ProgramFiles64Folder",
                                          "CommonFiles64Folder",  "System64Folder"};

void AddColumn(std::set<std::string, std::less<>>& known, const Table* table, const char* column) {
  if (!table) return;
  for (const Row& row : table->rows) known.insert(table->Text(row, column));
}

void Run(Context& ctx) {
  const Table* ini = ctx.Read("IniFile");
  if (!ini) return;
  std::set<std::string, std::less<>> known(std::begin(kSystemFolders), std::end(kSystemFolders));
  AddColumn(known, ctx.Read("Directory"), "Directory");
  AddColumn(known, ctx.Read("AppSearch"), "Property");
  AddColumn(known, ctx.Read("Property"), "Property");
  if (const Table* actions = ctx.Read("CustomAction"))
    for (const Row& row : actions->rows)
      if ((actions->Integer(row, "Type").value_or(0) & 0x3F) == 51)
        known.insert(actions->Text(row, "Source"));
  for (const Row& row : ini->rows) {
    // Without a DirProperty the file goes to the Windows folder.
    if (ini->IsNull(row, "DirProperty")) continue;
    const std::string dir = ini->Text(row, "DirProperty");
    if (known.count(dir)) continue;
    ctx.Report(Severity::Warning, *ini, "DirProperty", row,
               "In the IniFile table entry (IniFile=) " + ini->Text(row, "IniFile") +
                   " the DirProperty=" + dir +
                   " is not found in Directory/Property/AppSearch/CA-Type51 tables and it is not "
                   "one of the installer properties.");
  }
}

const Registration kICE88("ICE88", Run);

}  // namespace
}  // namespace msivalidate
