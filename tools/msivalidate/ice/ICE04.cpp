// ICE04: every file's sequence number lies on some disk: no greater than
// the largest LastSequence of the Media table.
#include <algorithm>
#include <climits>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* file = ctx.Read("File");
  const Table* media = ctx.Read("Media");
  if (!file || !media) return;
  int last = INT_MIN;
  for (const Row& row : media->rows) last = std::max(last, media->Integer(row, "LastSequence").value_or(INT_MIN));
  for (const Row& row : file->rows) {
    const auto sequence = file->Integer(row, "Sequence");
    if (!sequence || *sequence <= last) continue;
    ctx.Report(Severity::Error, *file, "Sequence", row,
               "File: " + file->Text(row, "File") + ", Sequence: " + std::to_string(*sequence) +
                   " Greater Than Max Allowed by Media Table.");
  }
}

const Registration kICE04("ICE04", Run);

}  // namespace
}  // namespace msivalidate
