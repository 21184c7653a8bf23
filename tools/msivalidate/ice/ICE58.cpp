// ICE58: installers before 2.0 take at most 80 Media rows; a package of
// schema 150 or later is not held to it.
#include "evaluator.h"
#include "summary_info.h"

namespace msivalidate {
namespace {

constexpr size_t kMaxMedia = 80;
constexpr int kSchemaWithoutLimit = 150;

void Run(Context& ctx) {
  const Table* media = ctx.Read("Media");
  if (!media || media->rows.size() <= kMaxMedia) return;
  if (SummaryInteger(ctx.package().handle(), PID_PAGECOUNT).value_or(0) >= kSchemaWithoutLimit) return;
  ctx.ReportAt(Severity::Warning, "Media", "", {},
               "This package has " + std::to_string(media->rows.size()) +
                   " media entries. Packages are limited to 80 entries in the media table.");
}

const Registration kICE58("ICE58", Run);

}  // namespace
}  // namespace msivalidate
