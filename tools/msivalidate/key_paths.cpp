#include "key_paths.h"

namespace msivalidate {

KeyPathKind KeyPathKindOf(const Table& component, const Row& row) {
  if (component.IsNull(row, "KeyPath")) return KeyPathKind::Directory;
  const int attributes = component.Integer(row, "Attributes").value_or(0);
  if (attributes & kComponentRegistryKeyPath) return KeyPathKind::Registry;
  if (attributes & kComponentOdbcDataSource) return KeyPathKind::OdbcDataSource;
  return KeyPathKind::File;
}

}  // namespace msivalidate
