// Runs a command-line program and captures what it prints.
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct ToolRun {
  std::string out;
  std::string err;
  int exit_code = -1;     // -1 when killed by a signal or timed out
  bool timed_out = false;
  // The installer result code of "NAME: error N: ..." on stderr; 0 when the
  // run succeeded, -1 when the program failed without such a line.
  long result_code() const;
  // One line for messages: how the run ended.
  std::string summary() const;
};

ToolRun run_tool(const std::string& program, const std::vector<std::string>& args,
                 std::chrono::milliseconds limit = std::chrono::seconds(120));
