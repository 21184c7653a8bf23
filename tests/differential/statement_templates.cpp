#include "statement_templates.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

std::vector<StatementTemplate> load_statement_templates(const std::string& directory) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(directory))
    if (entry.path().extension() == ".sql") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  if (files.empty()) throw std::runtime_error("no .sql statement lists in " + directory);

  std::vector<StatementTemplate> statements;
  for (const auto& file : files) {
    std::ifstream in(file);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      statements.push_back({line, file.filename().string() + ":" + std::to_string(number)});
    }
  }
  return statements;
}

std::string expand_placeholders(const std::string& text, const ColumnValues& values) {
  std::string result;
  size_t at = 0;
  while (at < text.size()) {
    size_t open = text.find('{', at);
    size_t close = open == std::string::npos ? open : text.find('}', open);
    if (close == std::string::npos) {
      result += text.substr(at);
      break;
    }
    result += text.substr(at, open - at);
    std::string name = text.substr(open + 1, close - open - 1);
    size_t nth = 1;
    if (auto sign = name.find('@'); sign != std::string::npos) {
      nth = std::max<size_t>(1, std::stoul(name.substr(sign + 1)));
      name.resize(sign);
    }
    auto dot = name.find('.');
    if (dot == std::string::npos) throw std::runtime_error("bad placeholder {" + name + "}");
    auto found = values(name.substr(0, dot), name.substr(dot + 1));
    result += found.empty() ? std::string("none") : found[std::min(nth, found.size()) - 1];
    at = close + 1;
  }
  return result;
}
