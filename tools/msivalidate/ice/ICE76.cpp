// ICE76: a file protected by an SFP catalog (FileSFPCatalog) must match its
// signature exactly: it is not rebound (BindImage), and its component is
// permanent and installed locally.
#include "evaluator.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* catalog = ctx.Read("FileSFPCatalog");
  if (!catalog) return;
  const Table* bind = ctx.Read("BindImage");
  const Table* file = ctx.Read("File");
  const Table* component = ctx.Read("Component");
  for (const Row& row : catalog->rows) {
    const std::string name = catalog->Text(row, "File_");
    if (bind && bind->Find(name))
      ctx.Report(Severity::Error, *catalog, "File_", row,
                 "File '" + name + "' references a SFP catalog. Therefore it cannot be in the BindImage table.");
    const Row* f = file ? file->Find(name) : nullptr;
    if (!f || !component) continue;
    const std::string component_name = file->Text(*f, "Component_");
    const Row* c = component->Find(component_name);
    if (!c) continue;
    const int attributes = component->Integer(*c, "Attributes").value_or(0);
    if (!(attributes & kComponentPermanent) || (attributes & (kComponentSourceOnly | kComponentOptional)))
      ctx.Report(Severity::Error, *catalog, "File_", row,
                 "File '" + name + "' references a SFP catalog. Therefore its component '" + component_name +
                     "' must be permanent and installed locally only.");
  }
}

const Registration kICE76("ICE76", Run);

}  // namespace
}  // namespace msivalidate
