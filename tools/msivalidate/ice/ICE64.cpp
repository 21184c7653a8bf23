// ICE64: a directory the package creates in the user profile is removed by
// a RemoveFile row (no FileName: the folder itself). A roaming profile
// brings the folder along before the install, and then nothing else
// removes it.
#include <unordered_set>

#include "evaluator.h"
#include "per_user.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* directory = ctx.Read("Directory");
  if (!directory) return;
  const Table* remove_file = ctx.Read("RemoveFile");
  std::unordered_set<std::string> removed;
  if (remove_file)
    for (const Row& row : remove_file->rows)
      if (remove_file->IsNull(row, "FileName")) removed.insert(remove_file->Text(row, "DirProperty"));
  const ProfileFolders profile(directory);
  for (const Row& row : directory->rows) {
    const std::string dir = directory->Text(row, "Directory");
    // The profile folders themselves belong to the system.
    if (!profile.InProfile(dir) || IsProfileFolder(dir) || removed.count(dir)) continue;
    ctx.Report(Severity::Error, *directory, "Directory", row,
               "The directory " + dir + " is in the user profile but is not listed in the RemoveFile table.");
  }
}

const Registration kICE64("ICE64", Run);

}  // namespace
}  // namespace msivalidate
