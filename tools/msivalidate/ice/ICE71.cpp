// ICE71: the Media table has a row with DiskId 1; the installer takes the
// package itself to be on disk 1.
#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* media = ctx.Read("Media");
  if (!media) return;
  const Row* first = nullptr;
  for (const Row& row : media->rows) {
    const auto disk = media->Integer(row, "DiskId");
    if (!disk) continue;
    if (*disk == 1) return;
    if (!first || *disk < *media->Integer(*first, "DiskId")) first = &row;
  }
  if (first)
    ctx.Report(Severity::Error, *media, "DiskId", *first,
               "The Media table requires an entry with DiskId=1. First DiskId is '" +
                   media->Text(*first, "DiskId") + "'.");
  else
    ctx.ReportAt(Severity::Error, "Media", "DiskId", {},
                 "The Media table requires an entry with DiskId=1. The table is empty.");
}

const Registration kICE71("ICE71", Run);

}  // namespace
}  // namespace msivalidate
