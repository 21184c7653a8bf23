// msivalidate: the validation suite's consistency checks, run natively on
// the engine. See `msivalidate --help` and the manual page.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "catalog.h"
#include "evaluator.h"
#include "options.h"
#include "package.h"
#include "progress.h"
#include "report_sarif.h"
#include "report_text.h"

namespace msivalidate {
namespace {

// The evaluators the platform's merge-module suite runs (its _ICESequence);
// the others check what only a product has (features, the UI, sequences).
const std::set<std::string> kModuleEvaluators = {
    "ICE02", "ICE03", "ICE06", "ICE08", "ICE11", "ICE15", "ICE17", "ICE18", "ICE23",
    "ICE29", "ICE30", "ICE32", "ICE33", "ICE34", "ICE36", "ICE39", "ICE42", "ICE44",
    "ICE45", "ICE46", "ICE48", "ICE49", "ICE51", "ICE52", "ICE53", "ICE54", "ICE55",
    "ICE60", "ICE65", "ICE66", "ICE68", "ICE70", "ICE74", "ICE76", "ICE85", "ICE86",
    "ICE87", "ICE89", "ICE92", "ICE93", "ICE94", "ICE95", "ICE98", "ICE103"};

// A patch carries transforms and its own tables, none of a product's: what
// the evaluators would say of it means nothing.
bool IsPatch(Package& package) {
  return (package.HasTable("MsiPatchMetadata") || package.HasTable("MsiPatchSequence")) &&
         !package.HasTable("Property") && !package.HasTable("Component");
}

void PrintList() {
  for (const CatalogEntry& e : Catalog()) {
    const bool built = FindEvaluator(e.ice) != nullptr;
    std::string description = e.description;
    if (e.scope == Scope::Installation) description += " (needs an installation: skipped)";
    std::printf("%-6s  %-9s  %s\n", e.ice, built ? "built" : "not built", description.c_str());
  }
}

// The evaluators to run, in order; a name that is unknown or cannot run
// here is a usage error.
bool Select(const Options& o, std::vector<std::pair<std::string, EvaluatorFunction>>* out,
            std::string* error) {
  for (const std::string& name : o.only) {
    const CatalogEntry* entry = FindCatalogEntry(name);
    if (!entry && !FindEvaluator(name)) {
      *error = name + " is not an evaluator of the suite";
      return false;
    }
    if (!FindEvaluator(name)) {
      *error = name + (entry->scope == Scope::Installation
                           ? " needs an installation and cannot run here"
                           : " is not built yet");
      return false;
    }
  }
  const std::set<std::string> only(o.only.begin(), o.only.end());
  const std::set<std::string> skip(o.skip.begin(), o.skip.end());
  for (const auto& [name, run] : BuiltEvaluators())
    if ((only.empty() || only.count(name)) && !skip.count(name)) out->emplace_back(name, run);
  return true;
}

struct Counts {
  size_t failures = 0, errors = 0, warnings = 0, infos = 0;
};

Counts Count(const std::vector<Finding>& findings) {
  Counts c;
  for (const Finding& f : findings) {
    switch (f.severity) {
      case Severity::Failure: ++c.failures; break;
      case Severity::Error: ++c.errors; break;
      case Severity::Warning: ++c.warnings; break;
      case Severity::Info: ++c.infos; break;
    }
  }
  return c;
}

std::string Plural(size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

int Main(int argc, char** argv) {
  std::string error;
  const auto options = ParseOptions(argc, argv, &error);
  if (!options) {
    std::fprintf(stderr, "msivalidate: %s\nTry 'msivalidate --help'.\n", Escape(error).c_str());
    return 2;
  }
  const Options& o = *options;
  if (o.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (o.version) {
    std::printf("msivalidate %s\n", MSIVALIDATE_VERSION);
    return 0;
  }
  if (o.list) {
    PrintList();
    return 0;
  }
  std::vector<std::pair<std::string, EvaluatorFunction>> evaluators;
  if (!Select(o, &evaluators, &error)) {
    std::fprintf(stderr, "msivalidate: %s\nTry 'msivalidate --list'.\n", error.c_str());
    return 2;
  }

  const bool sarif = o.format == Options::Format::Sarif;
  FILE* summary_out = sarif ? stderr : stdout;
  Progress progress(isatty(STDERR_FILENO) != 0, o.packages.size() * evaluators.size());
  std::vector<PackageFindings> results;
  bool unreadable = false, failed = false;
  for (const std::string& path : o.packages) {
    const auto start = std::chrono::steady_clock::now();
    PackageFindings result{path, true, {}, {}};
    UINT open_error = ERROR_SUCCESS;
    auto package = Package::Open(path, &open_error);
    if (!package) {
      progress.Clear();
      result.opened = false;
      result.open_error = "cannot open: " + DescribeResult(open_error);
      std::fprintf(stderr, "msivalidate: %s: %s\n", Escape(path).c_str(), result.open_error.c_str());
      unreadable = true;
      results.push_back(std::move(result));
      continue;
    }
    if (IsPatch(*package)) {
      progress.Clear();
      result.opened = false;
      result.open_error = "a patch (.msp): the evaluators check packages and merge modules";
      std::fprintf(stderr, "msivalidate: %s: %s\n", Escape(path).c_str(), result.open_error.c_str());
      unreadable = true;
      results.push_back(std::move(result));
      continue;
    }
    const bool module = package->IsMergeModule();
    for (const auto& [name, run] : evaluators) {
      if (!module || kModuleEvaluators.count(name)) RunEvaluator(name, run, *package, &result.findings);
      progress.Step(path + " " + name);
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    const Counts c = Count(result.findings);
    progress.Clear();
    const std::string prefix = o.packages.size() > 1 ? Escape(path) + ": " : "";
    if (!sarif)
      for (const Finding& f : result.findings) std::printf("%s%s\n", prefix.c_str(), FormatFinding(f).c_str());
    std::string line = Escape(path) + ": " + Plural(c.errors, "error") + ", " +
                       Plural(c.warnings, "warning") + ", " + Plural(c.infos, "info");
    if (c.failures) line += ", " + Plural(c.failures, "failure");
    line += " (" + std::to_string(ms) + " ms)";
    std::fprintf(summary_out, "%s\n", line.c_str());
    if (c.errors || c.failures || (o.warnings_as_errors && c.warnings)) failed = true;
    results.push_back(std::move(result));
  }
  progress.Clear();
  if (sarif) {
    std::vector<std::pair<std::string, std::string>> rules;
    for (const auto& [name, run] : evaluators) {
      const CatalogEntry* entry = FindCatalogEntry(name);
      rules.emplace_back(name, entry ? entry->description : name);
    }
    std::fputs(FormatSarif(results, rules, MSIVALIDATE_VERSION).c_str(), stdout);
  }
  std::fflush(stdout);
  if (unreadable) return 3;
  return failed ? 1 : 0;
}

}  // namespace
}  // namespace msivalidate

int main(int argc, char** argv) { return msivalidate::Main(argc, argv); }
