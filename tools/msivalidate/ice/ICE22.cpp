// ICE22: a published component names a feature and a component that the
// FeatureComponents table maps to each other.
#include <set>
#include <utility>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* publish = ctx.Read("PublishComponent");
  if (!publish) return;
  // Without a FeatureComponents table nothing is mapped.
  std::set<std::pair<std::string, std::string>> mapped;
  if (const Table* map = ctx.Read("FeatureComponents"))
    for (const Row& row : map->rows)
      mapped.emplace(map->Text(row, "Feature_"), map->Text(row, "Component_"));
  for (const Row& row : publish->rows) {
    const std::string feature = publish->Text(row, "Feature_");
    const std::string component = publish->Text(row, "Component_");
    if (mapped.count({feature, component})) continue;
    ctx.Report(Severity::Error, *publish, "Feature_", row,
               "PublishComponent: " + publish->Text(row, "ComponentId") +
                   " does not have the correct mapping for the Feature_ and Component_ columns: "
                   "Feature '" +
                   feature + "' and Component '" + component +
                   "' are not mapped to each other in the FeatureComponents table.");
  }
}

const Registration kICE22("ICE22", Run);

}  // namespace
}  // namespace msivalidate
