// ICE21: every component belongs to a feature; the installer installs only
// what a feature brings.
#include <set>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  if (!component) return;
  // Without a FeatureComponents table no component belongs to a feature.
  std::set<std::string> mapped;
  if (const Table* map = ctx.Read("FeatureComponents"))
    for (const Row& row : map->rows) mapped.insert(map->Text(row, "Component_"));
  for (const Row& row : component->rows) {
    const std::string name = component->Text(row, "Component");
    if (!mapped.count(name))
      ctx.Report(Severity::Error, *component, "Component", row,
                 "Component: '" + name + "' does not belong to any Feature.");
  }
}

const Registration kICE21("ICE21", Run);

}  // namespace
}  // namespace msivalidate
