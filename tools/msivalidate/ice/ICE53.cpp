// ICE53: Registry rows that write the installer's own data or its policy
// keys, which the installer owns and every package shares.
#include <string_view>

#include "evaluator.h"
#include "text_case.h"
#include "registry.h"

namespace msivalidate {
namespace {

bool IsUnder(std::string_view key, std::string_view prefix) {
  if (key.size() < prefix.size() || !SameNoCase(key.substr(0, prefix.size()), prefix)) return false;
  return key.size() == prefix.size() || key[prefix.size()] == '\\';
}

bool IsInstallerKey(int root, std::string_view key) {
  while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  if (root == kRootClassesRoot) return IsUnder(key, "Installer");
  if (root != kRootCurrentUser && root != kRootLocalMachine && root != kRootUserOrMachine) return false;
  for (std::string_view prefix :
       {"Software\\Policies\\Microsoft\\Windows\\Installer",
        "Software\\Microsoft\\Windows\\CurrentVersion\\Installer", "Software\\Microsoft\\Installer",
        "Software\\Classes\\Installer"})
    if (IsUnder(key, prefix)) return true;
  return false;
}

void Run(Context& ctx) {
  const Table* registry = ctx.Read("Registry");
  if (!registry) return;
  for (const Row& row : registry->rows) {
    const auto root = registry->Integer(row, "Root");
    if (!root || !IsInstallerKey(*root, registry->Text(row, "Key"))) continue;
    ctx.Report(Severity::Warning, *registry, "Key", row,
               "Registry Key '" + registry->Text(row, "Registry") +
                   "' writes Installer internal or policy information.");
  }
}

const Registration kICE53("ICE53", Run);

}  // namespace
}  // namespace msivalidate
