// ICE08: no two components share a component code (ComponentId GUID).
// Compared without case: the installer treats GUIDs as one value.
#include <map>

#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  if (!component) return;
  std::map<std::string, std::string> first;  // upper-case GUID -> first component
  for (const Row& row : component->rows) {
    if (component->IsNull(row, "ComponentId")) continue;
    const std::string guid = Upper(component->Text(row, "ComponentId"));
    const std::string name = component->Text(row, "Component");
    auto [it, fresh] = first.emplace(guid, name);
    if (!fresh)
      ctx.Report(Severity::Error, *component, "ComponentId", row,
                 "Component: " + name + " has a duplicate GUID: " +
                     component->Text(row, "ComponentId") + " (also used by component " +
                     it->second + ")");
  }
}

const Registration kICE08("ICE08", Run);

}  // namespace
}  // namespace msivalidate
