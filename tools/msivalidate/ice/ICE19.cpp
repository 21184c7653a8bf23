// ICE19: what is advertised needs a component the installer can advertise:
// one with a ComponentId, and a key path it can point the advertised entry
// at (a file; for shortcuts a file or a directory).
#include "evaluator.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

struct Advertiser {
  const char* table;
  bool checks_key_path;
  bool directory_allowed;
};

// Rows of these tables advertise their component (shortcuts only when they
// target a feature; published components only need a ComponentId).
constexpr Advertiser kAdvertisers[] = {
    {"Class", true, false},   {"Extension", true, false},         {"TypeLib", true, false},
    {"Shortcut", true, true}, {"PublishComponent", false, false},
};

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  if (!component) return;
  const Table* feature = ctx.Read("Feature");
  for (const Advertiser& a : kAdvertisers) {
    const Table* table = ctx.Read(a.table);
    if (!table) continue;
    const bool shortcut = table->name == "Shortcut";
    for (const Row& row : table->rows) {
      if (shortcut && !(feature && feature->Find(table->Text(row, "Target")))) continue;
      const std::string comp = table->Text(row, "Component_");
      const Row* c = component->Find(comp);
      if (!c) continue;  // a dangling reference is the foreign-key evaluator's
      const std::vector<std::string> keys = table->Keys(row);
      const std::string head = table->name + " " + (keys.empty() ? "" : keys.front()) +
                               " references the component " + comp + " which ";
      if (component->IsNull(*c, "ComponentId"))
        ctx.Report(Severity::Error, *table, "Component_", row,
                   head + "does not have a ComponentId specified in the Component table.");
      if (!a.checks_key_path) continue;
      const std::string attributes =
          std::to_string(component->Integer(*c, "Attributes").value_or(0));
      switch (KeyPathKindOf(*component, *c)) {
        case KeyPathKind::File:
          break;
        case KeyPathKind::Directory:
          if (!a.directory_allowed)
            ctx.Report(Severity::Error, *table, "Component_", row,
                       head +
                           "references a directory as its KeyPath. The KeyPath is Null in the "
                           "Component table.");
          break;
        case KeyPathKind::Registry:
          ctx.Report(Severity::Error, *table, "Component_", row,
                     head +
                         "references a Registry entry as the key path. The value of the "
                         "Attributes column in the Component table is " +
                         attributes + ".");
          break;
        case KeyPathKind::OdbcDataSource:
          ctx.Report(Severity::Error, *table, "Component_", row,
                     head +
                         "references an ODBC data source as the key path. The value of the "
                         "Attributes column in the Component table is " +
                         attributes + ".");
          break;
      }
    }
  }
}

const Registration kICE19("ICE19", Run);

}  // namespace
}  // namespace msivalidate
