// ICE14: a feature is not its own parent, and a root feature cannot follow
// a parent it does not have.
#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr int kFollowParent = 0x4;

void Run(Context& ctx) {
  const Table* feature = ctx.Read("Feature");
  if (!feature) return;
  for (const Row& row : feature->rows) {
    const std::string name = feature->Text(row, "Feature");
    const bool self_parent =
        !feature->IsNull(row, "Feature_Parent") && feature->Text(row, "Feature_Parent") == name;
    if (self_parent)
      ctx.Report(Severity::Error, *feature, "Feature_Parent", row,
                 "Feature '" + name +
                     "' has the same value in the Feature and Feature_Parent columns of the "
                     "Feature table.");
    const bool root = self_parent || feature->IsNull(row, "Feature_Parent");
    if (root && (feature->Integer(row, "Attributes").value_or(0) & kFollowParent))
      ctx.Report(Severity::Error, *feature, "Attributes", row,
                 "Root feature '" + name + "' has the msidbFeatureAttributesFollowParent bit set.");
  }
}

const Registration kICE14("ICE14", Run);

}  // namespace
}  // namespace msivalidate
