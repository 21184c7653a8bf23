// ICE01: shows that the evaluators run at all by posting the time this one
// was called.
#include <ctime>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char clock[16] = "None";
  if (localtime_r(&now, &local)) std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
  ctx.ReportAt(Severity::Info, "", "", {}, std::string("Called at ") + clock + ".");
}

const Registration kICE01("ICE01", Run);

}  // namespace
}  // namespace msivalidate
