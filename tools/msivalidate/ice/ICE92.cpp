// ICE92: a component without a ComponentId is never registered, so it
// cannot be permanent; a permanent component's uninstall-on-supersedence
// bit is ignored.
#include "evaluator.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  if (!component) return;
  for (const Row& row : component->rows) {
    const int attributes = component->Integer(row, "Attributes").value_or(0);
    if (!(attributes & kComponentPermanent)) continue;
    const std::string name = component->Text(row, "Component");
    if (component->IsNull(row, "ComponentId"))
      ctx.Report(Severity::Error, *component, "ComponentId", row,
                 "The Component '" + name + "' has no ComponentId and is marked as permanent.");
    if (attributes & kComponentUninstallOnSupersedence)
      ctx.Report(Severity::Warning, *component, "Attributes", row,
                 "The Component '" + name +
                     "' is marked as permanent and uninstall-on-supersedence. The uninstall-on-supersedence "
                     "attribute will be ignored because the component is permanent.");
  }
}

const Registration kICE92("ICE92", Run);

}  // namespace
}  // namespace msivalidate
