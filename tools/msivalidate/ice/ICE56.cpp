// ICE56: an administrative image is laid out from the one root TARGETDIR,
// whose DefaultDir must be SourceDir. Roots that hold no component and
// no created folder are left alone: nothing is installed there.
#include <string>
#include <unordered_map>
#include <vector>

#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

bool IsSourceDir(std::string_view s) { return SameNoCase(s, "SourceDir"); }

void Run(Context& ctx) {
  const Table* directory = ctx.Read("Directory");
  if (!directory) return;
  std::unordered_map<std::string, std::string> parent;
  for (const Row& row : directory->rows) {
    const std::string dir = directory->Text(row, "Directory");
    std::string up = directory->Text(row, "Directory_Parent");
    if (up == dir) up.clear();
    parent.emplace(dir, up);
  }
  // Each directory's root, found once; "" for a chain that ends in a cycle
  // or at a directory the table lacks.
  std::unordered_map<std::string, std::string> root;
  auto root_of = [&](const std::string& start) -> std::string {
    std::vector<std::string> chain;
    std::string at = start, found;
    std::unordered_map<std::string, bool> seen;
    while (true) {
      if (auto r = root.find(at); r != root.end()) { found = r->second; break; }
      auto p = parent.find(at);
      if (p == parent.end() || seen[at]) break;
      seen[at] = true;
      chain.push_back(at);
      if (p->second.empty()) { found = at; break; }
      at = p->second;
    }
    for (const std::string& d : chain) root[d] = found;
    return found;
  };
  std::unordered_map<std::string, bool> used;
  for (const char* holder : {"Component", "CreateFolder"})
    if (const Table* table = ctx.Read(holder))
      for (const Row& row : table->rows) used[root_of(table->Text(row, "Directory_"))] = true;

  for (const Row& row : directory->rows) {
    const std::string dir = directory->Text(row, "Directory");
    auto p = parent.find(dir);
    if (p == parent.end() || !p->second.empty()) continue;
    if (dir == "TARGETDIR") {
      if (!IsSourceDir(directory->Text(row, "DefaultDir")))
        ctx.Report(Severity::Error, *directory, "DefaultDir", row,
                   "Directory 'TARGETDIR' has a bad DefaultDir value.");
    } else if (used.count(dir)) {
      ctx.Report(Severity::Error, *directory, "Directory", row,
                 "Directory '" + dir + "' is an invalid root Directory.");
    }
  }
}

const Registration kICE56("ICE56", Run);

}  // namespace
}  // namespace msivalidate
