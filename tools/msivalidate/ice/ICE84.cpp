// ICE84: the actions every execute sequence depends on run unconditionally;
// a condition that turns one off leaves the install half done.
#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr const char* kRequired[] = {
    "CostInitialize",    "CostFinalize",    "FileCost",        "InstallValidate",
    "InstallInitialize", "InstallFinalize", "ProcessComponents", "PublishFeatures",
    "PublishProduct",    "RegisterProduct", "UnpublishFeatures"};

void Run(Context& ctx) {
  for (const char* name : {"AdvtExecuteSequence", "AdminExecuteSequence", "InstallExecuteSequence"}) {
    const Table* sequence = ctx.Read(name);
    if (!sequence || !sequence->Has("Condition")) continue;
    for (const char* action : kRequired) {
      const Row* row = sequence->Find(action);
      if (!row || sequence->IsNull(*row, "Condition")) continue;
      ctx.Report(Severity::Warning, *sequence, "Condition", *row,
                 std::string("Action '") + action + "' found in " + name +
                     " table is a required action with a condition.");
    }
  }
}

const Registration kICE84("ICE84", Run);

}  // namespace
}  // namespace msivalidate
