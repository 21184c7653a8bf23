// ICE07: fonts are installed into the FontsFolder; anywhere else the
// installer only makes a shortcut to the file.
#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* font = ctx.Read("Font");
  const Table* file = ctx.Read("File");
  const Table* component = ctx.Read("Component");
  if (!font || !file || !component) return;
  for (const Row& row : font->rows) {
    // Dangling references are the foreign-key evaluator's to report.
    const Row* file_row = file->Find(font->Text(row, "File_"));
    if (!file_row) continue;
    const Row* component_row = component->Find(file->Text(*file_row, "Component_"));
    if (!component_row) continue;
    const std::string dir = component->Text(*component_row, "Directory_");
    if (dir == "FontsFolder") continue;
    const std::string title =
        font->IsNull(row, "FontTitle") ? font->Text(row, "File_") : font->Text(row, "FontTitle");
    ctx.Report(Severity::Error, *font, "File_", row,
               "'" + title + "' is a font and must be installed to the FontsFolder directory. " +
                   "Current Install Directory: '" + dir + "'.");
  }
}

const Registration kICE07("ICE07", Run);

}  // namespace
}  // namespace msivalidate
