// ICE94: a non-advertised shortcut cannot point at an assembly in the
// global assembly cache: the file has no path there to link to. A Target
// that is not a feature makes the shortcut non-advertised; an assembly
// without File_Application goes to the global cache.
#include <set>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* shortcut = ctx.Read("Shortcut");
  const Table* assembly = ctx.Read("MsiAssembly");
  if (!shortcut || !assembly) return;
  const Table* feature = ctx.Read("Feature");
  std::set<std::string, std::less<>> global;
  for (const Row& row : assembly->rows)
    if (assembly->IsNull(row, "File_Application")) global.insert(assembly->Text(row, "Component_"));
  for (const Row& row : shortcut->rows) {
    if (feature && feature->Find(shortcut->Text(row, "Target"))) continue;
    if (!global.count(shortcut->Text(row, "Component_"))) continue;
    ctx.Report(Severity::Warning, *shortcut, "Target", row,
               "The non-advertised shortcut '" + shortcut->Text(row, "Shortcut") +
                   "' points to an assembly file in the global assembly cache.");
  }
}

const Registration kICE94("ICE94", Run);

}  // namespace
}  // namespace msivalidate
