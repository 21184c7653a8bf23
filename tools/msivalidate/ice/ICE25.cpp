// ICE25: the merge modules merged into a package (ModuleSignature) meet
// each other's dependencies and break none of their exclusions.
#include <cstdlib>
#include <map>
#include <vector>

#include "evaluator.h"

namespace msivalidate {
namespace {

// A version as four numbers, missing parts 0; anything after a number's
// digits is ignored.
std::vector<long> ParseVersion(const std::string& text) {
  std::vector<long> parts(4, 0);
  size_t at = 0;
  for (long& part : parts) {
    if (at >= text.size()) break;
    part = std::strtol(text.c_str() + at, nullptr, 10);
    const size_t dot = text.find('.', at);
    if (dot == std::string::npos) break;
    at = dot + 1;
  }
  return parts;
}

// A language ID of the primary language alone (no sublanguage bits) is a
// group: it takes every language of that primary language.
bool LanguageMatches(long long wanted, long long language) {
  if (wanted == language) return true;
  return wanted > 0 && wanted <= 0x3ff && (language & 0x3ff) == wanted;
}

struct Module {
  std::string id;
  int language = 0;
  std::string version;
};

std::string Describe(const std::string& id, int language, const std::string& version) {
  return id + "@" + std::to_string(language) + (version.empty() ? "" : " v" + version);
}

void Run(Context& ctx) {
  const Table* signature = ctx.Read("ModuleSignature");
  const Table* dependency = ctx.Read("ModuleDependency");
  const Table* exclusion = ctx.Read("ModuleExclusion");
  if (!dependency && !exclusion) return;
  std::vector<Module> merged;
  if (signature)
    for (const Row& row : signature->rows)
      merged.push_back({signature->Text(row, "ModuleID"), signature->Integer(row, "Language").value_or(0),
                        signature->Text(row, "Version")});
  // Modules by ID, so that each row looks only at the modules it names.
  std::multimap<std::string, const Module*> by_id;
  for (const Module& m : merged) by_id.emplace(m.id, &m);

  if (dependency)
    for (const Row& row : dependency->rows) {
      const std::string id = dependency->Text(row, "RequiredID");
      const int language = dependency->Integer(row, "RequiredLanguage").value_or(0);
      const std::string version = dependency->Text(row, "RequiredVersion");
      bool met = false;
      for (auto [it, end] = by_id.equal_range(id); it != end && !met; ++it)
        met = (language == 0 || LanguageMatches(language, it->second->language)) &&
              (version.empty() || ParseVersion(it->second->version) >= ParseVersion(version));
      if (!met)
        ctx.Report(Severity::Error, *dependency, "RequiredID", row,
                   "Dependency failure: Need " + Describe(id, language, version));
    }

  if (exclusion)
    for (const Row& row : exclusion->rows) {
      const std::string id = exclusion->Text(row, "ExcludedID");
      const long long language = exclusion->Integer(row, "ExcludedLanguage").value_or(0);
      const std::string min = exclusion->Text(row, "ExcludedMinVersion");
      const std::string max = exclusion->Text(row, "ExcludedMaxVersion");
      for (auto [it, end] = by_id.equal_range(id); it != end; ++it) {
        const Module& m = *it->second;
        // 0 excludes no language; a negative value every language but its own.
        if (language == 0) continue;
        if (language > 0 ? !LanguageMatches(language, m.language) : LanguageMatches(-language, m.language))
          continue;
        const std::vector<long> v = ParseVersion(m.version);
        if (!min.empty() && v < ParseVersion(min)) continue;
        if (!max.empty() && v > ParseVersion(max)) continue;
        ctx.Report(Severity::Error, *exclusion, "ExcludedID", row,
                   "Module " + Describe(m.id, m.language, m.version) + " is excluded.");
      }
    }
}

const Registration kICE25("ICE25", Run);

}  // namespace
}  // namespace msivalidate
