// ICE51: TrueType and OpenType font files carry their own name, so a title
// in the Font table registers them twice; every other font needs a title.
// The severities follow the page's examples.

#include "directories.h"
#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

bool HasEmbeddedName(std::string_view file_name) {
  const size_t dot = file_name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string ext = Lower(file_name.substr(dot + 1));
  return ext == "ttf" || ext == "ttc" || ext == "otf";
}

void Run(Context& ctx) {
  const Table* font = ctx.Read("Font");
  if (!font) return;
  const Table* file = ctx.Read("File");
  if (!file) return;
  for (const Row& row : font->rows) {
    const std::string key = font->Text(row, "File_");
    const Row* f = file->Find(key);
    if (!f) continue;  // a dangling key is ICE03's
    const std::string name = file->Text(*f, "FileName");
    const bool titled = !font->IsNull(row, "FontTitle");
    if (HasEmbeddedName(LongName(name)) && titled)
      ctx.Report(Severity::Warning, *font, "FontTitle", row,
                 "Font '" + key + "' is a TTC\\TTF\\OTF font, but also has a title.");
    else if (!HasEmbeddedName(LongName(name)) && !titled)
      ctx.Report(Severity::Error, *font, "FontTitle", row,
                 "Font '" + key + "' does not have a title. Only TTC\\TTF\\OTF fonts do not need titles.");
  }
}

const Registration kICE51("ICE51", Run);

}  // namespace
}  // namespace msivalidate
