// Every evaluator of the platform's validation suite, built here or not,
// with a line saying what it checks.
#pragma once

#include <string>
#include <vector>

namespace msivalidate {

enum class Scope {
  Package,       // checks the package's own tables: can be built here
  Installation,  // needs what only an installation knows (machine state,
                 // files outside the package, signatures): never run here
};

struct CatalogEntry {
  const char* ice;          // "ICE03"
  Scope scope;
  const char* description;  // one line
};

// ICE01 to ICE105 in order (numbers the suite never used are absent).
const std::vector<CatalogEntry>& Catalog();
const CatalogEntry* FindCatalogEntry(const std::string& ice);

}  // namespace msivalidate
