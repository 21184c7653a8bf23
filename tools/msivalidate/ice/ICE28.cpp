// ICE28: ForceReboot does not split the group of registration and
// publishing actions that run together: a reboot within it needs the
// installation source again afterwards.
#include <algorithm>
#include <optional>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr const char* kGroup[] = {
    "RegisterProduct",  "RegisterUser",          "PublishProduct",
    "PublishFeatures",  "CreateShortcuts",       "RegisterMIMEInfo",
    "RegisterExtensionInfo", "RegisterClassInfo", "RegisterProgIdInfo",
};

constexpr const char* kTables[] = {"AdminUISequence", "AdminExecuteSequence", "InstallUISequence",
                                   "InstallExecuteSequence"};

void Run(Context& ctx) {
  for (const char* name : kTables) {
    const Table* table = ctx.Read(name);
    if (!table) continue;
    auto seq = [&](const char* action) -> std::optional<int> {
      const Row* row = table->Find(action);
      if (!row) return std::nullopt;
      const std::optional<int> s = table->Integer(*row, "Sequence");
      return s && *s > 0 ? s : std::nullopt;
    };
    const Row* reboot = table->Find("ForceReboot");
    const std::optional<int> at = seq("ForceReboot");
    if (!reboot || !at) continue;
    std::optional<int> low, high;
    for (const char* action : kGroup)
      if (const auto s = seq(action)) {
        low = low ? std::min(*low, *s) : *s;
        high = high ? std::max(*high, *s) : *s;
      }
    if (low && *low < *at && *at < *high)
      ctx.Report(Severity::Error, *table, "Sequence", *reboot,
                 "Action: 'ForceReboot' of table " + table->name + " is not permitted in the range " +
                     std::to_string(*low) + " to " + std::to_string(*high) +
                     " because it cannot separate a set of actions contained in this range.");
  }
}

const Registration kICE28("ICE28", Run);

}  // namespace
}  // namespace msivalidate
