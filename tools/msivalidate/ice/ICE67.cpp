// ICE67: a non-advertised shortcut whose target is a file ("[#File1]")
// should be installed by the file's own component; otherwise the target's
// component must not move between local and run-from-source, or the
// shortcut ends up pointing where the file no longer is.
#include "evaluator.h"
#include "formatted_text.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* shortcut = ctx.Read("Shortcut");
  const Table* file = ctx.Read("File");
  const Table* component = ctx.Read("Component");
  if (!shortcut || !file || !component) return;
  for (const Row& row : shortcut->rows) {
    // An advertised shortcut's target is a feature: no brackets.
    const std::string target = shortcut->Text(row, "Target");
    const auto refs = FormattedReferences(target);
    if (refs.empty() || refs[0].offset != 0 || (refs[0].kind != '#' && refs[0].kind != '!')) continue;
    const Row* target_file = file->Find(refs[0].name);
    if (!target_file) continue;  // a dangling key is ICE69's and ICE03's to report
    const std::string own = shortcut->Text(row, "Component_");
    const std::string other = file->Text(*target_file, "Component_");
    if (own == other) continue;
    const Row* target_component = component->Find(other);
    if (!target_component) continue;
    const int attributes = component->Integer(*target_component, "Attributes").value_or(0);
    if ((attributes & kComponentOptional) == 0) continue;  // local only or source only
    ctx.Report(Severity::Warning, *shortcut, "Target", row,
               "The shortcut '" + shortcut->Text(row, "Shortcut") +
                   "' is a non-advertised shortcut with a file target. The shortcut and target are "
                   "installed by different components, and the target component can run locally or "
                   "from source.");
  }
}

const Registration kICE67("ICE67", Run);

}  // namespace
}  // namespace msivalidate
