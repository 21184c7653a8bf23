#include "registry.h"

#include "key_paths.h"

namespace msivalidate {

Owner RootOwner(int root) {
  if (root == kRootCurrentUser) return Owner::User;
  if (root == kRootUserOrMachine) return Owner::Either;
  return Owner::Machine;
}

HkcuKeyPath CheckHkcuKeyPath(const Table& component, const Row& row, const Table* registry) {
  if (component.IsNull(row, "KeyPath")) return HkcuKeyPath::Null;
  if (KeyPathKindOf(component, row) != KeyPathKind::Registry) return HkcuKeyPath::NotRegistry;
  const Row* entry = registry ? registry->Find(component.Text(row, "KeyPath")) : nullptr;
  if (!entry) return HkcuKeyPath::Missing;
  if (registry->Text(*entry, "Component_") != component.Text(row, "Component"))
    return HkcuKeyPath::NotOwned;
  const auto root = registry->Integer(*entry, "Root");
  if (!root || (*root != kRootCurrentUser && *root != kRootUserOrMachine)) return HkcuKeyPath::NotHkcu;
  return HkcuKeyPath::Ok;
}

}  // namespace msivalidate
