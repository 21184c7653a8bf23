// ICE12: custom actions that set a directory. A type 35 action (directory
// from formatted text) must run after CostFinalize, which resolves the
// directories it changes; a type 51 action (property) naming a directory must
// run before it, or the directory is already fixed.
#include <map>
#include <optional>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr int kSetDirectory = 35;
constexpr int kSetProperty = 51;
// The action's type without its scheduling and execution option bits.
constexpr int kBaseTypeMask = 0x3F;

const char* const kSequenceTables[] = {"AdminExecuteSequence", "AdminUISequence",
                                       "AdvtExecuteSequence", "InstallExecuteSequence",
                                       "InstallUISequence"};

void Run(Context& ctx) {
  const Table* custom = ctx.Read("CustomAction");
  if (!custom) return;
  const Table* directory = ctx.Read("Directory");

  std::map<std::string, int> kinds;  // directory-setting actions -> their base type
  for (const Row& row : custom->rows) {
    const int type = custom->Integer(row, "Type").value_or(0) & kBaseTypeMask;
    const std::string source = custom->Text(row, "Source");
    if (type == kSetDirectory) {
      kinds.emplace(custom->Text(row, "Action"), type);
      if (directory && !directory->Find(source))
        ctx.Report(Severity::Error, *custom, "Source", row,
                   "Folder '" + source + "' not found in Directory table");
    } else if (type == kSetProperty && directory && directory->Find(source)) {
      kinds.emplace(custom->Text(row, "Action"), type);
    }
  }
  if (kinds.empty()) return;

  for (const char* name : kSequenceTables) {
    const Table* sequence = ctx.Read(name);
    if (!sequence) continue;
    const Row* cf_row = sequence->Find("CostFinalize");
    // CostFinalize without a place in the sequence gives nothing to compare.
    if (cf_row && sequence->IsNull(*cf_row, "Sequence")) continue;
    const int cost_finalize = cf_row ? sequence->Integer(*cf_row, "Sequence").value_or(0) : 0;
    for (const Row& row : sequence->rows) {
      auto it = kinds.find(sequence->Text(row, "Action"));
      if (it == kinds.end()) continue;
      const std::optional<int> seq = sequence->Integer(row, "Sequence");
      // Null or negative sequences are not run in order (or at all).
      if (!seq || *seq <= 0) continue;
      if (!cf_row) {
        ctx.Report(Severity::Error, *sequence, "Action", row,
                   "CostFinalize is missing from the " + std::string(name) +
                       " table. Custom action '" + it->first + "' of type " +
                       std::to_string(it->second) + " needs it");
        continue;
      }
      const std::string cf = "(CF@" + std::to_string(cost_finalize) + ")";
      if (it->second == kSetDirectory && *seq <= cost_finalize)
        ctx.Report(Severity::Error, *sequence, "Sequence", row,
                   "Sequence '" + std::to_string(*seq) + "' comes before CostFinalize in the " +
                       name + " table. It must come after " + cf);
      else if (it->second == kSetProperty && *seq >= cost_finalize)
        ctx.Report(Severity::Error, *sequence, "Sequence", row,
                   "Sequence '" + std::to_string(*seq) + "' comes after CostFinalize in the " +
                       name + " table. It must come before " + cf);
    }
  }
}

const Registration kICE12("ICE12", Run);

}  // namespace
}  // namespace msivalidate
