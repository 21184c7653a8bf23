// ICE91: files, INI files and shortcuts installed into a folder that stays
// in the installing user's profile whatever ALLUSERS says: a per-machine
// install still gives them to that one user only.
#include <unordered_map>

#include "evaluator.h"
#include "per_user.h"

namespace msivalidate {
namespace {

std::string Message(const char* what, const std::string& item, const std::string& dir) {
  return std::string("The ") + what + " '" + item + "' will be installed to the per user directory '" + dir +
         "' that does not vary based on ALLUSERS value. This file won't be copied to each user's profile "
         "even if a per machine installation is desired.";
}

void Run(Context& ctx) {
  const ProfileFolders profile(ctx.Read("Directory"));
  if (const Table* file = ctx.Read("File"); file) {
    std::unordered_map<std::string, std::string> directory_of;
    if (const Table* component = ctx.Read("Component"); component)
      for (const Row& row : component->rows)
        directory_of.emplace(component->Text(row, "Component"), component->Text(row, "Directory_"));
    for (const Row& row : file->rows) {
      auto it = directory_of.find(file->Text(row, "Component_"));
      if (it != directory_of.end() && profile.PerUserOnly(it->second))
        ctx.Report(Severity::Warning, *file, "Component_", row,
                   Message("file", file->Text(row, "File"), it->second));
    }
  }
  if (const Table* ini = ctx.Read("IniFile"); ini)
    for (const Row& row : ini->rows) {
      // Without DirProperty the file goes to the Windows folder.
      const std::string dir = ini->Text(row, "DirProperty");
      if (!dir.empty() && profile.PerUserOnly(dir))
        ctx.Report(Severity::Warning, *ini, "DirProperty", row, Message("IniFile", ini->Text(row, "IniFile"), dir));
    }
  if (const Table* shortcut = ctx.Read("Shortcut"); shortcut)
    for (const Row& row : shortcut->rows) {
      const std::string dir = shortcut->Text(row, "Directory_");
      if (profile.PerUserOnly(dir))
        ctx.Report(Severity::Warning, *shortcut, "Directory_", row,
                   Message("shortcut", shortcut->Text(row, "Shortcut"), dir));
    }
}

const Registration kICE91("ICE91", Run);

}  // namespace
}  // namespace msivalidate
