// An evaluator is one consistency rule of the validation suite. Each lives
// in its own file under ice/ and registers itself:
//
//   namespace msivalidate {
//   namespace {
//   void Run(Context& ctx) { ... ctx.Report(...); }
//   const Registration kICE08("ICE08", Run);
//   }  // namespace
//   }  // namespace msivalidate
//
// Evaluators read the package through Context::Read and report through
// Context::Report. They never write to the package.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "finding.h"
#include "package.h"

namespace msivalidate {

class Context {
 public:
  Context(Package& package, std::string ice, std::vector<Finding>* out)
      : package_(package), ice_(std::move(ice)), out_(out) {}

  Package& package() { return package_; }
  bool IsMergeModule() { return package_.IsMergeModule(); }

  // The table, or nullptr when the package has none. A table that exists but
  // cannot be read also gives nullptr and makes this evaluator's run a
  // FAILURE; the caller just stops or skips what needs it.
  const Table* Read(const std::string& table);

  // A finding about `row` of `table` (its key values are taken from the row).
  void Report(Severity severity, const Table& table, const std::string& column, const Row& row,
              std::string message);
  // A finding with explicit location (table and column may be empty).
  void ReportAt(Severity severity, std::string table, std::string column,
                std::vector<std::string> keys, std::string message);
  // The evaluator cannot go on: reported as its FAILURE.
  void Fail(std::string message);

  bool failed() const { return failed_; }

 private:
  Package& package_;
  std::string ice_;
  std::vector<Finding>* out_;
  bool failed_ = false;
};

using EvaluatorFunction = void (*)(Context&);

struct Registration {
  Registration(const char* ice, EvaluatorFunction run);
};

// The built evaluators, by name ("ICE03" -> function).
const std::vector<std::pair<std::string, EvaluatorFunction>>& BuiltEvaluators();
EvaluatorFunction FindEvaluator(const std::string& ice);

// Runs one evaluator; anything it throws becomes a FAILURE finding.
void RunEvaluator(const std::string& ice, EvaluatorFunction run, Package& package,
                  std::vector<Finding>* out);

}  // namespace msivalidate
