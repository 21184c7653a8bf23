// ICE50: an advertised shortcut's icon has the extension of the file the
// shortcut starts (else the advertised shortcut lacks the right context
// menu), and is an .exe or .ico file (other files' icons some shells do
// not show).

#include "directories.h"
#include "evaluator.h"
#include "text_case.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

// The text after the last dot, in lower case; "" without one.
std::string Extension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return Lower(dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1));
}

void Run(Context& ctx) {
  const Table* shortcut = ctx.Read("Shortcut");
  if (!shortcut) return;
  const Table* component = ctx.Read("Component");
  const Table* file = ctx.Read("File");
  for (const Row& row : shortcut->rows) {
    // Only an advertised shortcut (a feature as its Target) takes its icon from the Icon table.
    if (shortcut->IsNull(row, "Icon_") || shortcut->Text(row, "Target").find('[') != std::string::npos) continue;
    const std::string icon = shortcut->Text(row, "Icon_");
    const std::string name = shortcut->Text(row, "Shortcut");
    const std::string icon_ext = Extension(icon);
    const std::string owner = shortcut->Text(row, "Component_");
    const Row* c = component ? component->Find(owner) : nullptr;
    const Row* key = c && file && KeyPathKindOf(*component, *c) == KeyPathKind::File
                         ? file->Find(component->Text(*c, "KeyPath"))
                         : nullptr;
    if (key && Extension(LongName(file->Text(*key, "FileName"))) != icon_ext)
      ctx.Report(Severity::Error, *shortcut, "Icon_", row,
                 "The extension of Icon '" + icon + "' for Shortcut '" + name +
                     "' does not match the extension of the Key File for component '" + owner + "'.");
    if (icon_ext != "exe" && icon_ext != "ico")
      ctx.Report(Severity::Warning, *shortcut, "Icon_", row,
                 "The extension of Icon '" + icon + "' for Shortcut '" + name +
                     "' is not \"exe\" or \"ico\". The Icon will not be displayed correctly.");
  }
}

const Registration kICE50("ICE50", Run);

}  // namespace
}  // namespace msivalidate
