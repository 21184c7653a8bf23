// ICE74: FASTOEM is never authored (it would follow the product into every
// maintenance install), and the product has a real UpgradeCode.
#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* property = ctx.Read("Property");
  if (!property) return;
  if (const Row* row = property->Find("FASTOEM"))
    ctx.Report(Severity::Error, *property, "Property", *row,
               "The FASTOEM property cannot be authored in the Property table.");
  // A merge module takes its product's UpgradeCode.
  if (ctx.IsMergeModule()) return;
  const Row* upgrade = property->Find("UpgradeCode");
  if (!upgrade) {
    ctx.ReportAt(Severity::Warning, "Property", "", {},
                 "The UpgradeCode property is not authored in the Property table. It is strongly recommended "
                 "that authors of installation packages specify an UpgradeCode for their application.");
    return;
  }
  const std::string value = property->Text(*upgrade, "Value");
  if (value == "{00000000-0000-0000-0000-000000000000}")
    ctx.Report(Severity::Error, *property, "Value", *upgrade, "'" + value + "' is not a valid UpgradeCode.");
}

const Registration kICE74("ICE74", Run);

}  // namespace
}  // namespace msivalidate
