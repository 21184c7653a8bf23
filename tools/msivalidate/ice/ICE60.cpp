// ICE60: a versioned file that is not a font needs a language, or a repair
// sees the same version in another language and copies it again; and
// versioned files are compared by version, never by hash.
#include "evaluator.h"

namespace msivalidate {
namespace {

// A version of its own: not empty and not a companion file's key.
bool IsVersioned(const Table& file, const Row& row) {
  return !file.IsNull(row, "Version") && !file.Find(file.Text(row, "Version"));
}

void Run(Context& ctx) {
  const Table* file = ctx.Read("File");
  if (!file) return;
  const Table* font = ctx.Read("Font");
  for (const Row& row : file->rows) {
    if (!IsVersioned(*file, row) || !file->IsNull(row, "Language")) continue;
    const std::string key = file->Text(row, "File");
    if (font && font->Find(key)) continue;
    ctx.Report(Severity::Warning, *file, "Language", row,
               "The file " + key +
                   " is not a Font, and its version is not a companion file reference. It should have a "
                   "language specified in the Language column.");
  }
  if (const Table* hash = ctx.Read("MsiFileHash"))
    for (const Row& row : hash->rows) {
      const std::string key = hash->Text(row, "File_");
      const Row* f = file->Find(key);
      if (f && IsVersioned(*file, *f))
        ctx.Report(Severity::Error, *hash, "File_", row, "The file " + key + " is Versioned. It cannot be hashed");
    }
}

const Registration kICE60("ICE60", Run);

}  // namespace
}  // namespace msivalidate
