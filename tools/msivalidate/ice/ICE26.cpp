// ICE26: each sequence table holds the actions it cannot work without and
// none that do not belong in it. Rows that never run (no positive
// sequence number) count as absent.
#include <set>

#include "evaluator.h"
#include "sequences.h"

namespace msivalidate {
namespace {

struct Rules {
  const char* table;
  std::vector<const char*> required;
  bool ui;        // a user-interface sequence: no script actions
  bool execute;   // an execution sequence: no ExecuteAction
  bool admin;     // the administrative installation: InstallAdminPackage belongs here only
};

const Rules kRules[] = {
    {"InstallUISequence", {"CostInitialize", "FileCost", "CostFinalize", "ExecuteAction"}, true, false, false},
    {"AdminUISequence", {"CostInitialize", "FileCost", "CostFinalize", "ExecuteAction"}, true, false, true},
    {"InstallExecuteSequence",
     {"CostInitialize", "FileCost", "CostFinalize", "InstallValidate", "InstallInitialize", "InstallFinalize"},
     false, true, false},
    {"AdminExecuteSequence",
     {"CostInitialize", "FileCost", "CostFinalize", "InstallValidate", "InstallInitialize",
      "InstallAdminPackage", "InstallFiles", "InstallFinalize"},
     false, true, true},
};

bool Prohibited(const Rules& rules, const std::string& action) {
  if (rules.execute && action == "ExecuteAction") return true;
  if (!rules.admin && action == "InstallAdminPackage") return true;
  if (rules.ui)
    return IsScriptAction(action) || action == "InstallInitialize" || action == "InstallFinalize" ||
           action == "InstallExecute" || action == "InstallExecuteAgain";
  return false;
}

void Run(Context& ctx) {
  for (const Rules& rules : kRules) {
    const Table* table = ctx.Read(rules.table);
    if (!table) continue;
    std::set<std::string> present;
    for (const Row& row : table->rows) {
      if (table->Integer(row, "Sequence").value_or(0) <= 0) continue;
      const std::string action = table->Text(row, "Action");
      present.insert(action);
      if (Prohibited(rules, action))
        ctx.Report(Severity::Error, *table, "Action", row,
                   "Action: '" + action + "' is prohibited in the " + table->name + " Sequence table.");
    }
    for (const char* action : rules.required)
      if (!present.count(action))
        ctx.ReportAt(Severity::Error, table->name, "", {},
                     std::string("Action: '") + action + "' is required in the " + table->name +
                         " Sequence table.");
  }
}

const Registration kICE26("ICE26", Run);

}  // namespace
}  // namespace msivalidate
