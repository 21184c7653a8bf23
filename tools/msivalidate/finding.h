// What an evaluator reports: one finding names the evaluator, how grave it
// is, where in the package it lies and what is wrong.
#pragma once

#include <string>
#include <vector>

namespace msivalidate {

// The four kinds of message the platform's evaluators return. A failure
// says the evaluator itself could not finish (a damaged table, say).
enum class Severity { Failure, Error, Warning, Info };

const char* SeverityName(Severity s);  // "FAILURE", "ERROR", "WARNING", "INFO"

struct Finding {
  std::string ice;   // "ICE03"
  Severity severity = Severity::Error;
  std::string table;                // empty when the finding is about no table
  std::string column;               // empty when it names no column
  std::vector<std::string> keys;    // the row's primary key values, in key order
  std::string message;
};

}  // namespace msivalidate
