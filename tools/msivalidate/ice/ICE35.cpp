// ICE35: a file compressed into a cabinet cannot run from the source, so
// its component must not be run-from-source only. Installer 2.0 (schema
// 200) lifted the restriction: the error becomes a warning there, and the
// warning about optional components goes away.
#include <algorithm>
#include <utility>
#include <vector>

#include "evaluator.h"
#include "key_paths.h"
#include "summary_info.h"

namespace msivalidate {
namespace {

constexpr int kFileNoncompressed = 0x2000;
constexpr int kFileCompressed = 0x4000;
constexpr int kSchemaWithoutLimit = 200;

void Run(Context& ctx) {
  const Table* media = ctx.Read("Media");
  const Table* file = ctx.Read("File");
  const Table* component = ctx.Read("Component");
  if (!media || !file || !component) return;
  // (LastSequence, in a cabinet), sorted: a file lies on the first disk
  // whose LastSequence reaches its Sequence.
  std::vector<std::pair<int, bool>> disks;
  for (const Row& row : media->rows)
    if (const auto last = media->Integer(row, "LastSequence"))
      disks.emplace_back(*last, !media->IsNull(row, "Cabinet"));
  std::sort(disks.begin(), disks.end());
  const bool compressed_by_default =
      SummaryInteger(ctx.package().handle(), PID_WORDCOUNT).value_or(0) & kWordCountCompressed;
  const bool newer_schema =
      SummaryInteger(ctx.package().handle(), PID_PAGECOUNT).value_or(0) >= kSchemaWithoutLimit;

  for (const Row& row : file->rows) {
    const auto sequence = file->Integer(row, "Sequence");
    if (!sequence) continue;
    const auto disk = std::lower_bound(disks.begin(), disks.end(), std::make_pair(*sequence, false));
    if (disk == disks.end() || !disk->second) continue;
    const int attributes = file->Integer(row, "Attributes").value_or(0);
    const bool compressed = (attributes & kFileCompressed) ||
                            (compressed_by_default && !(attributes & kFileNoncompressed));
    if (!compressed) continue;
    const std::string name = file->Text(row, "Component_");
    const Row* owner = component->Find(name);
    if (!owner) continue;
    const int run_from = component->Integer(*owner, "Attributes").value_or(0) & 3;
    const std::string member = file->Text(row, "File");
    if (run_from == kComponentSourceOnly)
      ctx.Report(newer_schema ? Severity::Warning : Severity::Error, *component, "Attributes", *owner,
                 "Component " + name + " cannot be Run From Source only, because its member file '" +
                     member + "' is compressed.");
    else if (run_from == kComponentOptional && !newer_schema)
      ctx.Report(Severity::Warning, *component, "Attributes", *owner,
                 "Component " + name + " can be Run From Source, but its member file '" + member +
                     "' is compressed.");
  }
}

const Registration kICE35("ICE35", Run);

}  // namespace
}  // namespace msivalidate
