// ICE57: no component mixes per-user and per-machine data (registry
// entries, files, a directory key path, non-advertised shortcuts): in a
// multi-user machine such a component is only partly installed for the
// users after the first. A profile folder counts for the user even where
// ALLUSERS=1 would move it to All Users, as the platform's evaluator has it;
// an HKMU entry (root -1) can be either.
#include <unordered_map>

#include "evaluator.h"
#include "key_paths.h"
#include "registry.h"

namespace msivalidate {
namespace {

struct Data {
  bool user = false, machine = false, either_registry = false;
  void Add(Owner o) {
    if (o == Owner::User) user = true;
    if (o == Owner::Machine) machine = true;
  }
};

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  if (!component) return;
  const Table* registry = ctx.Read("Registry");
  const Table* file = ctx.Read("File");
  const Table* shortcut = ctx.Read("Shortcut");
  const ProfileFolders profile(ctx.Read("Directory"));
  auto directory_owner = [&](const std::string& dir) {
    return profile.InProfile(dir) ? Owner::User : Owner::Machine;
  };

  std::unordered_map<std::string, Data> data;
  std::unordered_map<std::string, std::string> directory_of;
  for (const Row& row : component->rows) {
    const std::string name = component->Text(row, "Component");
    const std::string dir = component->Text(row, "Directory_");
    directory_of.emplace(name, dir);
    Data& d = data[name];
    if (component->IsNull(row, "KeyPath")) d.Add(directory_owner(dir));
  }
  if (registry)
    for (const Row& row : registry->rows) {
      auto it = data.find(registry->Text(row, "Component_"));
      const auto root = registry->Integer(row, "Root");
      if (it == data.end() || !root) continue;
      const Owner o = RootOwner(*root);
      if (o == Owner::Either) it->second.either_registry = true;
      it->second.Add(o);
    }
  if (file)
    for (const Row& row : file->rows) {
      const std::string name = file->Text(row, "Component_");
      auto it = data.find(name);
      if (it != data.end()) it->second.Add(directory_owner(directory_of[name]));
    }
  if (shortcut)
    for (const Row& row : shortcut->rows) {
      auto it = data.find(shortcut->Text(row, "Component_"));
      // Advertised shortcuts (a feature as Target) are the installer's to place.
      if (it == data.end() || shortcut->Text(row, "Target").find('[') == std::string::npos) continue;
      it->second.Add(directory_owner(shortcut->Text(row, "Directory_")));
    }

  for (const Row& row : component->rows) {
    const std::string name = component->Text(row, "Component");
    const Data& d = data[name];
    Owner key = directory_owner(component->Text(row, "Directory_"));
    const KeyPathKind kind = KeyPathKindOf(*component, row);
    if (kind == KeyPathKind::OdbcDataSource) key = Owner::Machine;
    if (kind == KeyPathKind::Registry) {
      const Row* entry = registry ? registry->Find(component->Text(row, "KeyPath")) : nullptr;
      const auto root = entry ? registry->Integer(*entry, "Root") : std::nullopt;
      if (!root) continue;  // a missing key path is another evaluator's finding
      key = RootOwner(*root);
    }
    const std::string quoted = "Component '" + name + "' ";
    if (d.user && d.machine && key == Owner::Machine)
      ctx.Report(Severity::Error, *component, "Component", row,
                 quoted + "has both per-user and per-machine data with a per-machine KeyPath.");
    else if (d.user && d.machine && key == Owner::User)
      ctx.Report(Severity::Warning, *component, "Component", row,
                 quoted + "has both per-user and per-machine data with " +
                     (kind == KeyPathKind::Registry ? "an HKCU Registry KeyPath." : "a per-user KeyPath."));
    else if (d.either_registry && key == Owner::Machine)
      ctx.Report(Severity::Error, *component, "Component", row,
                 quoted + "has a registry entry that can be either per-user or per-machine and a "
                          "per-machine KeyPath.");
    else if (d.user && key == Owner::Either)
      ctx.Report(Severity::Error, *component, "Component", row,
                 quoted + "has both per-user data and a keypath that can be either per-user or "
                          "per-machine.");
  }
}

const Registration kICE57("ICE57", Run);

}  // namespace
}  // namespace msivalidate
