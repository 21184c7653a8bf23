// ICE101: feature names longer than 38 characters cannot be registered.
#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr size_t kMaxFeatureName = 38;

void Run(Context& ctx) {
  const Table* feature = ctx.Read("Feature");
  if (!feature) return;
  for (const Row& row : feature->rows) {
    const std::string name = feature->Text(row, "Feature");
    if (name.size() > kMaxFeatureName)
      ctx.Report(Severity::Error, *feature, "Feature", row,
                 "The Feature '" + name + "' is " + std::to_string(name.size()) +
                     " characters long; feature names can be at most 38 characters.");
  }
}

const Registration kICE101("ICE101", Run);

}  // namespace
}  // namespace msivalidate
