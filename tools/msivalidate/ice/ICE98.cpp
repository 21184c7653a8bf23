// ICE98: an ODBC data source name (the Description column) takes none of
// the characters ODBC reserves and at most 32 characters.
#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr size_t kMaxDsnLength = 32;
constexpr std::string_view kReserved = "[]{}(),;?*=!@\\";

void Run(Context& ctx) {
  const Table* sources = ctx.Read("ODBCDataSource");
  if (!sources) return;
  for (const Row& row : sources->rows) {
    const std::string name = sources->Text(row, "Description");
    if (name.size() <= kMaxDsnLength && name.find_first_of(kReserved) == std::string::npos) continue;
    ctx.Report(Severity::Warning, *sources, "Description", row,
               "The data source name is invalid: " + name);
  }
}

const Registration kICE98("ICE98", Run);

}  // namespace
}  // namespace msivalidate
