// ICE47: no feature holds 1600 components or more (the limit of older
// installers' feature-component bookkeeping).
#include <map>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr size_t kLimit = 1600;

void Run(Context& ctx) {
  const Table* links = ctx.Read("FeatureComponents");
  if (!links) return;
  std::map<std::string, size_t> count;  // the table's key makes each pair unique
  for (const Row& row : links->rows) ++count[links->Text(row, "Feature_")];
  const Table* feature = ctx.Read("Feature");
  for (const auto& [name, n] : count) {
    if (n < kLimit) continue;
    std::string message = "Feature '" + name + "' has " + std::to_string(n) +
                          " components. This could cause problems on Win9X systems. You should "
                          "try to have less than 800 components per feature.";
    if (const Row* row = feature ? feature->Find(name) : nullptr)
      ctx.Report(Severity::Error, *feature, "Feature", *row, std::move(message));
    else
      ctx.ReportAt(Severity::Error, "Feature", "Feature", {name}, std::move(message));
  }
}

const Registration kICE47("ICE47", Run);

}  // namespace
}  // namespace msivalidate
