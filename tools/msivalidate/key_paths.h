// What a component's KeyPath column points at, by its Attributes.
#pragma once

#include <string>

#include "package.h"

namespace msivalidate {

// Component attribute bits (the Component table's Attributes column).
constexpr int kComponentSourceOnly = 0x1;
constexpr int kComponentOptional = 0x2;
constexpr int kComponentRegistryKeyPath = 0x4;
constexpr int kComponentSharedDllRefCount = 0x8;
constexpr int kComponentPermanent = 0x10;
constexpr int kComponentOdbcDataSource = 0x20;
constexpr int kComponentTransitive = 0x40;
constexpr int kComponentNeverOverwrite = 0x80;
constexpr int kComponent64bit = 0x100;
constexpr int kComponentDisableRegistryReflection = 0x200;
constexpr int kComponentUninstallOnSupersedence = 0x400;
constexpr int kComponentShared = 0x800;

enum class KeyPathKind { Directory, File, Registry, OdbcDataSource };

// The kind of the row's key path: a null KeyPath is the component's
// directory; otherwise the Registry or ODBC bit says which table the key
// names, and a File key otherwise.
KeyPathKind KeyPathKindOf(const Table& component, const Row& row);

}  // namespace msivalidate
