// ICE43: a non-advertised shortcut in the user profile lives in a component
// kept by an HKCU registry value; with any other key path the shortcut is
// made for the first user only, later users find the component installed.
// The texts are those the platform's own evaluator prints.
#include <set>

#include "evaluator.h"
#include "registry.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* shortcut = ctx.Read("Shortcut");
  const Table* component = ctx.Read("Component");
  if (!shortcut || !component) return;
  const Table* registry = ctx.Read("Registry");
  const ProfileFolders profile(ctx.Read("Directory"));
  std::set<std::string> seen;  // one finding per component
  for (const Row& s : shortcut->rows) {
    // An advertised shortcut's Target names a feature; a formatted one
    // points at a file or path and is not advertised.
    if (shortcut->Text(s, "Target").find('[') == std::string::npos) continue;
    if (!profile.InProfile(shortcut->Text(s, "Directory_"))) continue;
    const std::string name = shortcut->Text(s, "Component_");
    const Row* row = component->Find(name);
    if (!row || !seen.insert(name).second) continue;
    const std::string start = "Component " + name + " has non-advertised shortcuts. ";
    std::string message;
    switch (CheckHkcuKeyPath(*component, *row, registry)) {
      case HkcuKeyPath::Ok: continue;
      case HkcuKeyPath::Null:
        message = start + "It should use a registry key under HKCU as its KeyPath. The KeyPath is currently null.";
        break;
      case HkcuKeyPath::NotRegistry:
        message = start + "It should use a registry key under HKCU as its KeyPath, not a file.";
        break;
      case HkcuKeyPath::Missing:
        message = "The KeyPath registry entry for component " + name + " does not exist.";
        break;
      case HkcuKeyPath::NotOwned:
        message = "The Registry Entry " + component->Text(*row, "KeyPath") +
                  " is set as the KeyPath for component " + name +
                  ", but that registry entry does not belong to " + name + ".";
        break;
      case HkcuKeyPath::NotHkcu:
        message = start + "It's KeyPath registry key should fall under HKCU.";
        break;
    }
    ctx.Report(Severity::Error, *component, "KeyPath", *row, message);
  }
}

const Registration kICE43("ICE43", Run);

}  // namespace
}  // namespace msivalidate
