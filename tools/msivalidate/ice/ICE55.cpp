// ICE55: each LockPermissions row names an object that exists and grants
// some permission.
#include "evaluator.h"

namespace msivalidate {
namespace {

// The tables whose objects can be secured; CreateFolder rows are found by
// their directory, its first key.
bool IsLockable(const std::string& table) {
  return table == "CreateFolder" || table == "Directory" || table == "File" || table == "Registry" ||
         table == "ServiceInstall";
}

void Run(Context& ctx) {
  const Table* locks = ctx.Read("LockPermissions");
  if (!locks) return;
  for (const Row& row : locks->rows) {
    const std::string object = locks->Text(row, "LockObject");
    const std::string table = locks->Text(row, "Table");
    if (locks->IsNull(row, "Permission"))
      ctx.Report(Severity::Error, *locks, "Permission", row,
                 "LockObject '" + object + "'.'" + table + "'.'" + locks->Text(row, "Domain") + "'.'" +
                     locks->Text(row, "User") + "' in the LockPermissions table has a null Permission value.");
    if (!IsLockable(table)) continue;  // not a table of objects: ICE03 reports the value
    const Table* target = ctx.Read(table);
    if (!target || !target->Find(object))
      ctx.Report(Severity::Error, *locks, "LockObject", row,
                 "Could not find item '" + object + "' in table '" + table +
                     "' which is referenced in the LockPermissions table.");
  }
}

const Registration kICE55("ICE55", Run);

}  // namespace
}  // namespace msivalidate
