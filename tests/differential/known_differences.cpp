#include "known_differences.h"

#include <fstream>
#include <stdexcept>

KnownDifferences KnownDifferences::load(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read the known differences list " + path);
  KnownDifferences list;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    auto tab = line.find('\t');
    if (tab == std::string::npos)
      throw std::runtime_error(path + ":" + std::to_string(number) +
                               ": expected PACKAGE<TAB>STATEMENT");
    list.cases_.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return list;
}

bool KnownDifferences::covers(const std::string& package_name,
                              const std::string& statement) const {
  for (const auto& c : cases_)
    if ((c.package == "*" || c.package == package_name) && c.statement == statement) return true;
  return false;
}
