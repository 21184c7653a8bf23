// ICE49: a key's default value (a Registry row without Name) that is not a
// plain string; Windows 95 only stores REG_SZ defaults.
#include "evaluator.h"

namespace msivalidate {
namespace {

// Registry.Value: "#" numbers, "#x" binary, "#%" expandable string,
// "[~]" a multi-string; "##" escapes a string that starts with '#'.
bool IsPlainString(const std::string& value) {
  if (value.find("[~]") != std::string::npos) return false;
  return value.empty() || value[0] != '#' || (value.size() > 1 && value[1] == '#');
}

void Run(Context& ctx) {
  const Table* registry = ctx.Read("Registry");
  if (!registry || !registry->Has("Value")) return;
  for (const Row& row : registry->rows) {
    if (!registry->IsNull(row, "Name") || registry->IsNull(row, "Value")) continue;
    if (IsPlainString(registry->Text(row, "Value"))) continue;
    ctx.Report(Severity::Warning, *registry, "Value", row,
               "Reg Entry '" + registry->Text(row, "Registry") +
                   "' is not of type REG_SZ. Default types must be REG_SZ on Win95 Systems. Make "
                   "sure the component is conditionalized to never be installed on Win95 machines.");
  }
}

const Registration kICE49("ICE49", Run);

}  // namespace
}  // namespace msivalidate
