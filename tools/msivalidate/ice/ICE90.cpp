// ICE90: a shortcut placed in the profile through a public property moves
// between the user's and the All Users profile when ALLUSERS changes.
#include <cctype>

#include "evaluator.h"
#include "per_user.h"

namespace msivalidate {
namespace {

bool IsPublicName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name)
    if (std::islower(static_cast<unsigned char>(c))) return false;
  return true;
}

void Run(Context& ctx) {
  const Table* shortcut = ctx.Read("Shortcut");
  const Table* directory = ctx.Read("Directory");
  if (!shortcut || !directory) return;
  const ProfileFolders profile(directory);
  for (const Row& row : shortcut->rows) {
    const std::string dir = shortcut->Text(row, "Directory_");
    if (!IsPublicName(dir) || !profile.InProfile(dir)) continue;
    ctx.Report(Severity::Warning, *shortcut, "Directory_", row,
               "The shortcut '" + shortcut->Text(row, "Shortcut") +
                   "' has a directory that is a public property (ALL CAPS) and is under user "
                   "profile directory. This results in a problem if the value of the ALLUSERS "
                   "property changes in the UI sequence.");
  }
}

const Registration kICE90("ICE90", Run);

}  // namespace
}  // namespace msivalidate
