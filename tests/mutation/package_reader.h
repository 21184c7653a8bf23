// Reads a whole package through the C API the way the tools do: every table
// named in _Tables and _Streams, every field as text, as integer, its size,
// and every stream to its end, then the summary. Reports the first failure.
#pragma once

#include <string>

struct ReadOutcome {
  unsigned first_error = 0;  // 0 when everything read
  std::string step;          // where the first error happened
  unsigned long long fields = 0;
  unsigned long long stream_bytes = 0;
};

ReadOutcome read_whole_package(const std::string& path);

// True for the result codes the engine may give for a damaged package.
bool is_expected_result(unsigned code);
