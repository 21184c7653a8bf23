// ICE59: an advertised shortcut (its Target names a feature) installs its
// feature on demand and then starts its component's key path, so that
// feature must install that component.
#include <set>
#include <utility>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* shortcut = ctx.Read("Shortcut");
  const Table* feature = ctx.Read("Feature");
  if (!shortcut || !feature) return;
  std::set<std::pair<std::string, std::string>> mapped;
  if (const Table* fc = ctx.Read("FeatureComponents"))
    for (const Row& row : fc->rows) mapped.emplace(fc->Text(row, "Feature_"), fc->Text(row, "Component_"));
  for (const Row& row : shortcut->rows) {
    const std::string target = shortcut->Text(row, "Target");
    if (!feature->Find(target)) continue;  // not advertised
    const std::string component = shortcut->Text(row, "Component_");
    if (mapped.count({target, component})) continue;
    ctx.Report(Severity::Error, *shortcut, "Target", row,
               "The shortcut " + shortcut->Text(row, "Shortcut") + " activates component " + component +
                   " and advertises feature " + target + ", but there is no mapping between " + target +
                   " and " + component + " in the FeatureComponents table.");
  }
}

const Registration kICE59("ICE59", Run);

}  // namespace
}  // namespace msivalidate
