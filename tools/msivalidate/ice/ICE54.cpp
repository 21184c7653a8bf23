// ICE54: a component's key path file must have a version of its own; a
// companion file's version is another file's, so the key path can look
// current while the file itself is not.
#include "evaluator.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  const Table* file = ctx.Read("File");
  if (!component || !file) return;
  for (const Row& row : component->rows) {
    if (KeyPathKindOf(*component, row) != KeyPathKind::File) continue;
    const std::string key = component->Text(row, "KeyPath");
    const Row* f = file->Find(key);
    if (!f || file->IsNull(*f, "Version")) continue;
    const std::string version = file->Text(*f, "Version");
    if (!file->Find(version)) continue;
    ctx.Report(Severity::Warning, *component, "KeyPath", row,
               "Component '" + component->Text(row, "Component") + "' uses file '" + key +
                   "' as its KeyPath, but the file's version is provided by the file '" + version + "'.");
  }
}

const Registration kICE54("ICE54", Run);

}  // namespace
}  // namespace msivalidate
