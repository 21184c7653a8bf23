// ICE63: RemoveExistingProducts runs where an upgrade can survive it:
// between InstallValidate and InstallInitialize, right after
// InstallInitialize or InstallExecute(Again) with nothing in between, or
// after InstallFinalize.
#include <map>
#include <optional>

#include "evaluator.h"
#include "sequences.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* sequence = ctx.Read("InstallExecuteSequence");
  if (!sequence) return;
  std::map<std::string, int> at;
  const Row* rep_row = nullptr;
  for (const Row& row : sequence->rows) {
    const auto n = sequence->Integer(row, "Sequence");
    if (!n || *n <= 0) continue;  // not run in the sequence
    const std::string action = sequence->Text(row, "Action");
    at[action] = *n;
    if (action == "RemoveExistingProducts") rep_row = &row;
  }
  if (!rep_row) return;
  const int rep = at["RemoveExistingProducts"];
  auto seq = [&](const char* action) -> std::optional<int> {
    auto it = at.find(action);
    if (it == at.end()) return std::nullopt;
    return it->second;
  };
  const auto validate = seq("InstallValidate");
  const auto initialize = seq("InstallInitialize");
  const auto finalize = seq("InstallFinalize");
  if (finalize && rep > *finalize) return;
  if (validate && rep < *validate) {
    ctx.Report(Severity::Error, *sequence, "Sequence", *rep_row,
               "RemoveExistingProducts action is sequenced before InstallValidate.");
    return;
  }
  if (!initialize || rep < *initialize) return;
  // Inside the script: it must follow InstallInitialize or the latest
  // InstallExecute(Again) before it directly.
  std::string anchor = "InstallInitialize";
  int from = *initialize;
  for (const char* execute : {"InstallExecute", "InstallExecuteAgain"})
    if (const auto e = seq(execute); e && *e < rep && *e > from) {
      from = *e;
      anchor = execute;
    }
  // A standard action that writes nothing to the script cannot harm it.
  for (const auto& [action, n] : at)
    if (n > from && n < rep && (!IsStandardAction(action) || IsScriptAction(action))) {
      ctx.Report(Severity::Warning, *sequence, "Sequence", *rep_row,
                 "Some action falls between " + anchor + " and RemoveExistingProducts.");
      return;
    }
}

const Registration kICE63("ICE63", Run);

}  // namespace
}  // namespace msivalidate
