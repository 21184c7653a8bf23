// ICE97: two components isolating the same shared component into one
// directory share a single private copy that each counts once; removing
// either takes the copy away from the other.
#include <map>
#include <utility>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* isolated = ctx.Read("IsolatedComponent");
  const Table* component = ctx.Read("Component");
  if (!isolated || !component) return;
  // (shared component, directory) -> the first application component there.
  std::map<std::pair<std::string, std::string>, std::string> first;
  for (const Row& row : isolated->rows) {
    const std::string app = isolated->Text(row, "Component_Application");
    const Row* app_row = component->Find(app);
    if (!app_row) continue;
    const std::string dir = component->Text(*app_row, "Directory_");
    auto [it, fresh] = first.emplace(std::pair(isolated->Text(row, "Component_Shared"), dir), app);
    if (fresh || it->second == app) continue;
    ctx.Report(Severity::Warning, *isolated, "Component_Application", row,
               "This component " + app + " installs the Shared component into the same directory " +
                   dir +
                   " as another, which breaks component rules if both (or more) components are "
                   "selected for install.");
  }
}

const Registration kICE97("ICE97", Run);

}  // namespace
}  // namespace msivalidate
