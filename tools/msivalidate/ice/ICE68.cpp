// ICE68: every custom action has a type the installer can run, and an
// elevated (no-impersonate) action is deferred, where elevation means
// something.
#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr int kInScript = 0x400;
constexpr int kNoImpersonate = 0x800;

// The source and target combinations the installer knows (the low six bits).
bool KnownBaseType(int base) {
  switch (base) {
    case 1: case 2: case 5: case 6: case 7:
    case 17: case 18: case 19: case 21: case 22: case 23:
    case 34: case 35: case 37: case 38: case 39:
    case 50: case 51: case 53: case 54:
      return true;
    default:
      return false;
  }
}

void Run(Context& ctx) {
  const Table* custom = ctx.Read("CustomAction");
  if (!custom) return;
  for (const Row& row : custom->rows) {
    const auto type = custom->Integer(row, "Type");
    if (!type) continue;  // ICE03 reports a null type
    const std::string action = custom->Text(row, "Action");
    // Option bits reach 0x8000; anything above is no type at all.
    if (*type < 0 || *type > 0xFFFF || !KnownBaseType(*type & 0x3F)) {
      ctx.Report(Severity::Error, *custom, "Type", row, "Invalid custom action type for action '" + action + "'.");
      continue;
    }
    if ((*type & kNoImpersonate) && !(*type & kInScript))
      ctx.Report(Severity::Warning, *custom, "Type", row,
                 "Even though custom action '" + action +
                     "' is marked to be elevated (with attribute msidbCustomActionTypeNoImpersonate), it will "
                     "not be run with elevated privileges because it's not deferred (with attribute "
                     "msidbCustomActionTypeInScript).");
  }
}

const Registration kICE68("ICE68", Run);

}  // namespace
}  // namespace msivalidate
