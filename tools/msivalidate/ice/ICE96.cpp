// ICE96: a package cannot be advertised unless AdvtExecuteSequence has
// PublishFeatures and PublishProduct.
#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* advertise = ctx.Read("AdvtExecuteSequence");
  if (!advertise) return;
  for (const char* action : {"PublishFeatures", "PublishProduct"})
    if (!advertise->Find(action))
      ctx.ReportAt(Severity::Warning, advertise->name, "Action", {},
                   std::string("The ") + action + " action is required in the AdvtExecuteSequence table.");
}

const Registration kICE96("ICE96", Run);

}  // namespace
}  // namespace msivalidate
