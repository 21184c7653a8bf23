#include "evaluator.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

namespace msivalidate {
namespace {

// ICE9 < ICE10 < ICE105: by number, not by text.
bool ByNumber(const std::string& a, const std::string& b) {
  return std::atoi(a.c_str() + 3) < std::atoi(b.c_str() + 3);
}

std::vector<std::pair<std::string, EvaluatorFunction>>& Registry() {
  static std::vector<std::pair<std::string, EvaluatorFunction>> registry;
  return registry;
}

}  // namespace

const Table* Context::Read(const std::string& table) {
  const TableRead read = package_.Read(table);
  if (!read.table && read.error != ERROR_SUCCESS)
    Fail("Cannot read the " + table + " table: " + DescribeResult(read.error));
  return read.table;
}

void Context::Report(Severity severity, const Table& table, const std::string& column,
                     const Row& row, std::string message) {
  ReportAt(severity, table.name, column, table.Keys(row), std::move(message));
}

void Context::ReportAt(Severity severity, std::string table, std::string column,
                       std::vector<std::string> keys, std::string message) {
  out_->push_back(
      Finding{ice_, severity, std::move(table), std::move(column), std::move(keys), std::move(message)});
}

void Context::Fail(std::string message) {
  failed_ = true;
  ReportAt(Severity::Failure, {}, {}, {}, std::move(message));
}

Registration::Registration(const char* ice, EvaluatorFunction run) {
  auto& registry = Registry();
  registry.emplace_back(ice, run);
  std::sort(registry.begin(), registry.end(),
            [](const auto& a, const auto& b) { return ByNumber(a.first, b.first); });
}

const std::vector<std::pair<std::string, EvaluatorFunction>>& BuiltEvaluators() {
  return Registry();
}

EvaluatorFunction FindEvaluator(const std::string& ice) {
  for (const auto& [name, run] : Registry())
    if (name == ice) return run;
  return nullptr;
}

void RunEvaluator(const std::string& ice, EvaluatorFunction run, Package& package,
                  std::vector<Finding>* out) {
  Context ctx(package, ice, out);
  try {
    run(ctx);
  } catch (const std::exception& e) {
    ctx.Fail(std::string("The evaluator stopped: ") + e.what());
  }
}

}  // namespace msivalidate
