// ICE52: AppSearch sets its properties before the server side starts, so
// only public (upper-case) properties carry the result over.
#include <algorithm>
#include <cctype>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* search = ctx.Read("AppSearch");
  if (!search) return;
  for (const Row& row : search->rows) {
    const std::string property = search->Text(row, "Property");
    if (std::none_of(property.begin(), property.end(),
                     [](char c) { return std::islower(static_cast<unsigned char>(c)); }))
      continue;
    ctx.Report(Severity::Warning, *search, "Property", row,
               "Property '" + property + "' in AppSearch row '" + property + "'.'" +
                   search->Text(row, "Signature_") + "' is not public. It should be all uppercase.");
  }
}

const Registration kICE52("ICE52", Run);

}  // namespace
}  // namespace msivalidate
