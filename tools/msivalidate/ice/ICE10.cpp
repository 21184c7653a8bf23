// ICE10: a child feature cannot disallow advertising while its parent
// favors it: advertising the parent would turn the child off.
#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr int kFavorAdvertise = 0x4;
constexpr int kDisallowAdvertise = 0x8;

void Run(Context& ctx) {
  const Table* feature = ctx.Read("Feature");
  if (!feature) return;
  for (const Row& row : feature->rows) {
    if (feature->IsNull(row, "Feature_Parent")) continue;
    const std::string child = feature->Text(row, "Feature");
    const std::string parent = feature->Text(row, "Feature_Parent");
    const Row* parent_row = feature->Find(parent);
    if (!parent_row) {
      ctx.Report(Severity::Error, *feature, "Feature_Parent", row,
                 "Parent feature: '" + parent + "' not found for child feature: '" + child + "'.");
      continue;
    }
    if ((feature->Integer(*parent_row, "Attributes").value_or(0) & kFavorAdvertise) &&
        (feature->Integer(row, "Attributes").value_or(0) & kDisallowAdvertise))
      ctx.Report(Severity::Error, *feature, "Attributes", row,
                 "Conflicting states, one favors, one disallows. Child: " + child +
                     " differs in advertise state from Parent: " + parent + ".");
  }
}

const Registration kICE10("ICE10", Run);

}  // namespace
}  // namespace msivalidate
