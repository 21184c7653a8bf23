// ICE48: a directory whose Property table value is a path on a local drive
// ("d:\..."): drives differ from one computer to the next. Network paths
// are left alone.
#include <cctype>

#include "evaluator.h"

namespace msivalidate {
namespace {

bool OnLocalDrive(std::string_view path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

void Run(Context& ctx) {
  const Table* directory = ctx.Read("Directory");
  const Table* property = ctx.Read("Property");
  if (!directory || !property) return;
  for (const Row& row : property->rows) {
    const std::string name = property->Text(row, "Property");
    if (directory->Find(name) && OnLocalDrive(property->Text(row, "Value")))
      ctx.Report(Severity::Warning, *property, "Value", row,
                 "Directory '" + name + "' appears to be hardcoded in the property table to a local drive.");
  }
}

const Registration kICE48("ICE48", Run);

}  // namespace
}  // namespace msivalidate
