// Reads a whole package through the C API the way the tools do: every
// table named in _Tables and _Streams, every field as text, as integer, its
// size, every stream to its end, every row validated against the
// package's _Validation table, then the summary. Shared by the mutation
// test and the package fuzz target.
#pragma once

#include <string>

struct ReadOutcome {
  unsigned first_error = 0;  // 0 when everything read
  std::string step;          // where the first error happened
};

// The first failure, if any.
ReadOutcome ReadWholePackage(const std::string& path);

// The result codes the engine may give for a damaged package.
bool IsExpectedResult(unsigned code);
