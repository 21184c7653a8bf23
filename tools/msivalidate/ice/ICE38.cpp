// ICE38: a component installed into the user profile is kept by a registry
// value under HKCU, so that each user who installs it gets it.
#include "evaluator.h"
#include "registry.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  const Table* directory = ctx.Read("Directory");
  if (!component || !directory) return;
  const Table* registry = ctx.Read("Registry");
  const ProfileFolders profile(directory);
  for (const Row& row : component->rows) {
    if (!profile.InProfile(component->Text(row, "Directory_"))) continue;
    const std::string name = component->Text(row, "Component");
    const std::string key = component->Text(row, "KeyPath");
    const std::string start = "Component " + name + " installs to user profile. ";
    std::string message;
    switch (CheckHkcuKeyPath(*component, row, registry)) {
      case HkcuKeyPath::Ok: continue;
      case HkcuKeyPath::Null:
        message = start + "It must use a registry key under HKCU as its KeyPath. The KeyPath is currently NULL.";
        break;
      case HkcuKeyPath::NotRegistry:
        message = start + "It must use a registry key under HKCU as its KeyPath, not a file.";
        break;
      case HkcuKeyPath::Missing:
        message = "The KeyPath registry entry for component " + name + " does not exist.";
        break;
      case HkcuKeyPath::NotOwned:
        message = "The Registry Entry " + key + " is set as the KeyPath for component " + name +
                  ", but that registry entry does not belong to " + name + ".";
        break;
      case HkcuKeyPath::NotHkcu:
        message = start + "It's KeyPath registry key must fall under HKCU.";
        break;
    }
    ctx.Report(Severity::Error, *component, "KeyPath", row, message);
  }
}

const Registration kICE38("ICE38", Run);

}  // namespace
}  // namespace msivalidate
