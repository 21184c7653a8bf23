// ICE15: MIME types and extensions name each other. A content type's
// extension must name one of the content types that name it, and an
// extension's content type must name one of the extensions that name it;
// otherwise the registry entries the installer writes contradict each other.
#include <map>
#include <set>

#include "evaluator.h"

namespace msivalidate {
namespace {

using Names = std::map<std::string, std::set<std::string>>;

void Run(Context& ctx) {
  const Table* mime = ctx.Read("MIME");
  const Table* extension = ctx.Read("Extension");
  if (!mime || !extension) return;

  // The Extension table is keyed by extension and component: one extension
  // may have several rows, each with its own content type.
  Names types_of_extension;  // extension -> its rows' non-null content types
  std::set<std::string> extensions;
  Names extensions_of_type;  // content type -> extensions that name it
  for (const Row& row : extension->rows) {
    const std::string ext = extension->Text(row, "Extension");
    extensions.insert(ext);
    if (extension->IsNull(row, "MIME_")) continue;
    types_of_extension[ext].insert(extension->Text(row, "MIME_"));
    extensions_of_type[extension->Text(row, "MIME_")].insert(ext);
  }
  Names types_naming;  // extension -> content types that name it
  for (const Row& row : mime->rows)
    types_naming[mime->Text(row, "Extension_")].insert(mime->Text(row, "ContentType"));

  std::set<std::string> reported;  // content types already found one-sided
  for (const Row& row : mime->rows) {
    const std::string type = mime->Text(row, "ContentType");
    const std::string ext = mime->Text(row, "Extension_");
    // An extension that is not there is the foreign-key evaluator's to report.
    if (!extensions.count(ext)) continue;
    auto back = types_of_extension.find(ext);
    if (back == types_of_extension.end()) {
      reported.insert(type);
      ctx.Report(
          Severity::Error, *mime, "Extension_", row,
          "The content type " + type + " references the extension " + ext +
              ", but that extension has a Null entry in the MIME_ column of the Extension table.");
      continue;
    }
    const std::set<std::string>& naming = types_naming[ext];
    bool reciprocal = false;
    for (const std::string& t : back->second) reciprocal = reciprocal || naming.count(t);
    if (reciprocal) continue;
    reported.insert(type);
    ctx.Report(Severity::Error, *mime, "Extension_", row,
               "The content type " + type + " in the MIME table references the extension " + ext +
                   ", but the extension " + ext + " in the Extension table references " +
                   *back->second.begin() + ". This is not reciprocal.");
  }

  for (const Row& row : extension->rows) {
    if (extension->IsNull(row, "MIME_")) continue;
    const std::string type = extension->Text(row, "MIME_");
    const Row* type_row = mime->Find(type);
    // The content type's own finding already tells the broken link.
    if (!type_row || reported.count(type)) continue;
    const std::string ext = extension->Text(row, "Extension");
    const std::string back = mime->Text(*type_row, "Extension_");
    if (!extensions_of_type[type].count(back))
      ctx.Report(Severity::Error, *extension, "MIME_", row,
                 "The extension " + ext + " in the Extension table references the content type " +
                     type + ", but the content type " + type + " in the MIME table references " +
                     back + ". This is not reciprocal.");
  }
}

const Registration kICE15("ICE15", Run);

}  // namespace
}  // namespace msivalidate
