// The Registry table's roots, and whether a component is kept by a
// registry value of the current user.
#pragma once

#include "package.h"
#include "per_user.h"

namespace msivalidate {

// The Registry table's Root column.
constexpr int kRootUserOrMachine = -1;  // HKCU per-user, HKLM per-machine
constexpr int kRootClassesRoot = 0;
constexpr int kRootCurrentUser = 1;
constexpr int kRootLocalMachine = 2;
constexpr int kRootUsers = 3;

// Whose data a registry entry under `root` is. The classes root counts for
// the machine, where registrations of shared classes belong.
Owner RootOwner(int root);

// Whether a component's key path is a registry value under HKCU (a root
// of -1 counts: it is HKCU whenever the install is per user).
enum class HkcuKeyPath {
  Ok,
  Null,      // KeyPath is null
  NotRegistry,  // a file or ODBC data source
  Missing,   // the Registry row does not exist
  NotOwned,  // the Registry row belongs to another component
  NotHkcu,   // the Registry row is under another root
};
HkcuKeyPath CheckHkcuKeyPath(const Table& component, const Row& row, const Table* registry);

}  // namespace msivalidate
