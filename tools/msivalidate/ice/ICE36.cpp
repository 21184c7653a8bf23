// ICE36: every icon in the Icon table is used (by ARPPRODUCTICON or a
// Class, ProgId or Shortcut row): all of them are installed on
// advertisement, used or not. Whether some dialog lets the user make such
// a reference at run time is not judged.
#include <set>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* icon = ctx.Read("Icon");
  if (!icon) return;
  std::set<std::string> used;
  if (const Table* property = ctx.Read("Property"))
    if (const Row* row = property->Find("ARPPRODUCTICON")) used.insert(property->Text(*row, "Value"));
  for (const char* name : {"Class", "ProgId", "Shortcut"})
    if (const Table* table = ctx.Read(name); table && table->Has("Icon_"))
      for (const Row& row : table->rows)
        if (!table->IsNull(row, "Icon_")) used.insert(table->Text(row, "Icon_"));
  for (const Row& row : icon->rows) {
    const std::string name = icon->Text(row, "Name");
    if (!used.count(name))
      ctx.Report(Severity::Warning, *icon, "Name", row,
                 "Icon Bloat. Icon " + name +
                     " is not used in the Class, Shortcut, or ProgID table. This adversely affects "
                     "performance.");
  }
}

const Registration kICE36("ICE36", Run);

}  // namespace
}  // namespace msivalidate
