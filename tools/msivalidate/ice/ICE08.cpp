// ICE08: no two components share a component code (ComponentId GUID).
// Compared without case: the installer treats GUIDs as one value.
#include <cctype>
#include <map>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  if (!component) return;
  std::map<std::string, std::string> first;  // upper-case GUID -> first component
  for (const Row& row : component->rows) {
    if (component->IsNull(row, "ComponentId")) continue;
    std::string guid = component->Text(row, "ComponentId");
    for (char& c : guid) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
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
