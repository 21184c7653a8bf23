// ICE41: a Class or Extension row's feature installs the row's component,
// or advertising it installs nothing that implements it.
#include <set>
#include <utility>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Check(Context& ctx, const Table* table, const char* key, const char* what,
           const std::set<std::pair<std::string, std::string>>& mapped) {
  if (!table || !table->Has("Feature_") || !table->Has("Component_")) return;
  for (const Row& row : table->rows) {
    if (table->IsNull(row, "Feature_") || table->IsNull(row, "Component_")) continue;
    const std::string feature = table->Text(row, "Feature_");
    const std::string component = table->Text(row, "Component_");
    if (mapped.count({feature, component})) continue;
    ctx.Report(Severity::Error, *table, "Feature_", row,
               std::string(what) + " " + table->Text(row, key) + " references feature " + feature +
                   " and component " + component +
                   ", but the that Component is not associated with that Feature in the "
                   "FeatureComponents table.");
  }
}

void Run(Context& ctx) {
  const Table* klass = ctx.Read("Class");
  const Table* extension = ctx.Read("Extension");
  if (!klass && !extension) return;
  std::set<std::pair<std::string, std::string>> mapped;
  if (const Table* fc = ctx.Read("FeatureComponents"))
    for (const Row& row : fc->rows) mapped.emplace(fc->Text(row, "Feature_"), fc->Text(row, "Component_"));
  Check(ctx, klass, "CLSID", "Class", mapped);
  Check(ctx, extension, "Extension", "Extension", mapped);
}

const Registration kICE41("ICE41", Run);

}  // namespace
}  // namespace msivalidate
