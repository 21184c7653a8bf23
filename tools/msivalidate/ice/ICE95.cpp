// ICE95: any billboard may be shown in any billboard control, so each
// billboard's controls must fit the smallest of them.
#include <algorithm>
#include <climits>
#include <optional>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* control = ctx.Read("Control");
  const Table* bb = ctx.Read("BBControl");
  if (!control || !bb) return;
  std::optional<long long> width, height;
  for (const Row& row : control->rows) {
    if (control->Text(row, "Type") != "Billboard") continue;
    const long long w = control->Integer(row, "Width").value_or(0);
    const long long h = control->Integer(row, "Height").value_or(0);
    width = std::min(width.value_or(LLONG_MAX), w);
    height = std::min(height.value_or(LLONG_MAX), h);
  }
  if (!width) return;
  const std::string w = std::to_string(*width), h = std::to_string(*height);
  for (const Row& row : bb->rows) {
    const std::string item = "The BBControl item '" + bb->Text(row, "Billboard_") + "." +
                             bb->Text(row, "BBControl") +
                             "' in the BBControl table does not fit in all the billboard controls "
                             "in the Control table. ";
    const long long x = bb->Integer(row, "X").value_or(0);
    const long long y = bb->Integer(row, "Y").value_or(0);
    const long long cx = bb->Integer(row, "Width").value_or(0);
    const long long cy = bb->Integer(row, "Height").value_or(0);
    if (x > *width)
      ctx.Report(Severity::Warning, *bb, "X", row,
                 item + "The X coordinate exceeds the boundary of the minimum billboard control width " + w);
    else if (x + cx > *width)
      ctx.Report(Severity::Warning, *bb, "Width", row,
                 item + "The X coordinate and the width combined together exceeds the minimum "
                        "billboard control width " + w);
    if (y > *height)
      ctx.Report(Severity::Warning, *bb, "Y", row,
                 item + "The Y coordinate exceeds the boundary of the minimum billboard control height " + h);
    else if (y + cy > *height)
      ctx.Report(Severity::Warning, *bb, "Height", row,
                 item + "The Y coordinate and the height combined together exceeds the minimum "
                        "billboard control height " + h);
  }
}

const Registration kICE95("ICE95", Run);

}  // namespace
}  // namespace msivalidate
