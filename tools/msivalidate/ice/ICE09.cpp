// ICE09: components installed into the SystemFolder should be permanent, so
// that uninstalling one product does not take away a file others use.
#include "evaluator.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  if (!component) return;
  for (const Row& row : component->rows) {
    if (component->Text(row, "Directory_") != "SystemFolder") continue;
    if (component->Integer(row, "Attributes").value_or(0) & kComponentPermanent) continue;
    ctx.Report(Severity::Warning, *component, "Attributes", row,
               "Component: '" + component->Text(row, "Component") +
                   "' is a non-permanent system component: it installs into the SystemFolder "
                   "but its Permanent attribute is not set.");
  }
}

const Registration kICE09("ICE09", Run);

}  // namespace
}  // namespace msivalidate
