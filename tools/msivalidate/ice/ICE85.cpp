// ICE85: MoveFile's SourceName is a long file name, where the wildcards
// * and ? are allowed.
#include "evaluator.h"

namespace msivalidate {
namespace {

bool IsLongNameWithWildcards(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
    switch (c) {
      case '\\': case '/': case ':': case '"': case '<': case '>': case '|':
        return false;
      default:
        break;
    }
  }
  return true;
}

void Run(Context& ctx) {
  const Table* move = ctx.Read("MoveFile");
  if (!move) return;
  for (const Row& row : move->rows) {
    // An empty SourceName moves every file of the source folder.
    if (move->IsNull(row, "SourceName")) continue;
    const std::string name = move->Text(row, "SourceName");
    if (!IsLongNameWithWildcards(name))
      ctx.Report(Severity::Error, *move, "SourceName", row,
                 "SourceName '" + name + "' found in the MoveFile table is of bad format.");
  }
}

const Registration kICE85("ICE85", Run);

}  // namespace
}  // namespace msivalidate
