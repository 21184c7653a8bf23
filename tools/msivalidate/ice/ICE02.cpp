// ICE02: a component's key file or key registry entry must belong to that
// component; otherwise the installer checks the wrong thing when it asks
// whether the component is installed.
#include "evaluator.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  if (!component || !component->Has("KeyPath")) return;
  const Table* file = ctx.Read("File");
  const Table* registry = ctx.Read("Registry");
  for (const Row& row : component->rows) {
    const KeyPathKind kind = KeyPathKindOf(*component, row);
    const bool is_file = kind == KeyPathKind::File;
    if (!is_file && kind != KeyPathKind::Registry) continue;
    const Table* target = is_file ? file : registry;
    if (!target) continue;
    const std::string name = component->Text(row, "Component");
    const std::string key = component->Text(row, "KeyPath");
    const std::string what = is_file ? "File: '" + key + "' cannot be the key file"
                                     : "Registry: '" + key + "' cannot be the key registry key";
    const Row* owner_row = target->Find(key);
    if (!owner_row) {
      ctx.Report(
          Severity::Error, *component, "KeyPath", row,
          what + " for Component: '" + name + "'. It is not in the " + target->name + " table");
      continue;
    }
    const std::string owner = target->Text(*owner_row, "Component_");
    if (owner != name)
      ctx.Report(Severity::Error, *component, "KeyPath", row,
                 what + " for Component: '" + name + "'. The " + (is_file ? "file" : "RegKey") +
                     " belongs to Component: '" + owner + "'");
  }
}

const Registration kICE02("ICE02", Run);

}  // namespace
}  // namespace msivalidate
