// ICE27: every sequenced action is known (standard, custom or a dialog),
// sits in the section of the sequence where it works, and comes after the
// actions it depends on; InstallFinalize is there exactly when script
// operations are.
#include <map>
#include <optional>
#include <set>

#include "evaluator.h"
#include "sequences.h"

namespace msivalidate {
namespace {

// `later` must come after `earlier`, from the actions' sequence
// restrictions. `before` says which row the report is about: the earlier
// action ("must come before") or the later one ("must come after").
struct Order {
  const char* earlier;
  const char* later;
  bool before;
};

constexpr Order kOrders[] = {
    {"CostInitialize", "FileCost", false},
    {"FileCost", "CostFinalize", false},
    {"CostInitialize", "CostFinalize", false},
    {"CostFinalize", "InstallValidate", false},
    {"InstallValidate", "InstallInitialize", false},
    {"InstallInitialize", "InstallFinalize", true},
    {"InstallInitialize", "InstallExecute", true},
    {"InstallInitialize", "InstallExecuteAgain", true},
    {"RemoveFiles", "InstallFiles", false},
    {"MoveFiles", "InstallFiles", true},
    {"InstallFiles", "DuplicateFiles", false},
    {"PatchFiles", "DuplicateFiles", false},
    {"InstallFiles", "CreateShortcuts", false},
    {"RemoveShortcuts", "CreateShortcuts", false},
    {"InstallFiles", "SelfRegModules", false},
    {"SelfUnregModules", "SelfRegModules", true},
    {"SelfUnregModules", "RemoveFiles", true},
    {"InstallFiles", "RegisterTypeLibraries", false},
    {"UnregisterTypeLibraries", "RemoveFiles", true},
    {"InstallFiles", "BindImage", false},
    {"PublishFeatures", "PublishProduct", false},
    {"StopServices", "DeleteServices", true},
    {"DeleteServices", "InstallFiles", true},
    {"DeleteServices", "RemoveFiles", true},
    {"DeleteServices", "DuplicateFiles", true},
    {"DeleteServices", "MoveFiles", true},
    {"DeleteServices", "PatchFiles", true},
    {"DeleteServices", "RemoveDuplicateFiles", true},
    {"DeleteServices", "InstallServices", true},
    {"DeleteServices", "StartServices", true},
    {"InstallFiles", "InstallServices", false},
    {"InstallServices", "StartServices", false},
};

struct Sequenced {
  const Row* row;
  int seq;
};

void CheckTable(Context& ctx, const Table& table, const Table* custom, const Table* dialog) {
  // Rows with a positive sequence number run in order; the others (null,
  // 0, the negative exit dialogs) have no place in the sections.
  std::map<std::string, Sequenced> at;
  for (const Row& row : table.rows) {
    const std::optional<int> seq = table.Integer(row, "Sequence");
    if (seq && *seq > 0) at.emplace(table.Text(row, "Action"), Sequenced{&row, *seq});
  }
  auto seq_of = [&](const char* action) -> std::optional<int> {
    auto it = at.find(action);
    if (it == at.end()) return std::nullopt;
    return it->second.seq;
  };
  const auto cost_initialize = seq_of("CostInitialize");
  const auto cost_finalize = seq_of("CostFinalize");
  const auto install_validate = seq_of("InstallValidate");
  const auto install_finalize = seq_of("InstallFinalize");
  auto section_of = [&](int seq) {
    if (install_finalize && seq > *install_finalize) return kPostExecution;
    if (install_validate && seq >= *install_validate) return kExecution;
    if (cost_finalize && seq >= *cost_finalize) return kSelection;
    if (cost_initialize && seq >= *cost_initialize) return kCosting;
    // Without the markers that open them, later sections reach back.
    if (!cost_initialize && !cost_finalize) return install_validate ? kSelection : kSearch;
    if (!cost_initialize) return kCosting;
    return kSearch;
  };

  for (const Row& row : table.rows) {
    const std::string action = table.Text(row, "Action");
    if (!IsStandardAction(action) && !(custom && custom->Find(action)) &&
        !(dialog && dialog->Find(action))) {
      ctx.Report(Severity::Error, table, "Action", row,
                 "Unknown action: '" + action + "' of " + table.name +
                     " table. Not a standard action and not found in CustomAction or Dialog tables");
    }
  }

  bool script = false;
  for (const auto& [action, s] : at) {
    if (IsScriptAction(action)) script = true;
    const unsigned allowed = AllowedSections(action);
    if (allowed == kAnywhere) continue;
    const Section current = section_of(s.seq);
    if (allowed & current) continue;
    std::string correct;
    for (unsigned bit = kSearch; bit <= kPostExecution; bit <<= 1)
      if (allowed & bit) {
        if (!correct.empty()) correct += " or ";
        correct += SectionName(static_cast<Section>(bit));
      }
    ctx.Report(Severity::Error, table, "Sequence", *s.row,
               "'" + action + "' in " + table.name + " table in wrong place. Current: " +
                   SectionName(current) + ", Correct: " + correct);
  }

  if (install_finalize && !script)
    ctx.Report(Severity::Error, table, "Action", *at.at("InstallFinalize").row,
               "'InstallFinalize' Action in " + table.name +
                   " table can only be called when script operations exist to be executed");
  if (!install_finalize && script)
    ctx.ReportAt(Severity::Error, table.name, "", {},
                 "InstallFinalize must be called in " + table.name +
                     " table as script operations exist to be executed");

  for (const Order& o : kOrders) {
    auto e = at.find(o.earlier);
    auto l = at.find(o.later);
    if (e == at.end() || l == at.end() || e->second.seq < l->second.seq) continue;
    if (o.before)
      ctx.Report(Severity::Error, table, "Sequence", *e->second.row,
                 "Action: '" + e->first + "' in " + table.name + " table must come before the '" +
                     l->first + "' action. Current seq#: " + std::to_string(e->second.seq) +
                     ". Dependent seq#: " + std::to_string(l->second.seq));
    else
      ctx.Report(Severity::Error, table, "Sequence", *l->second.row,
                 "Action: '" + l->first + "' in " + table.name + " table must come after the '" +
                     e->first + "' action.");
  }
}

void Run(Context& ctx) {
  const Table* custom = ctx.Read("CustomAction");
  const Table* dialog = ctx.Read("Dialog");
  for (const char* name : kSequenceTables)
    if (const Table* table = ctx.Read(name)) CheckTable(ctx, *table, custom, dialog);
}

const Registration kICE27("ICE27", Run);

}  // namespace
}  // namespace msivalidate
