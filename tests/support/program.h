// Runs an outside program (an oracle, one of our tools, a browser) under a
// time limit. The program gets a process group of its own and dies with the
// test, so a hang is reported as a hang with its command line and nothing
// it started outlives the run or holds the test's output open.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace ts {

struct RunOptions {
  std::chrono::milliseconds limit = std::chrono::seconds(60);
  std::filesystem::path cwd;      // empty: the test's own
  std::vector<std::string> env;   // NAME=VALUE, set over the test's environment
  std::string input;              // standard input; empty: /dev/null
};

struct RunResult {
  int exit_code = -1;  // -1 when it died of a signal, could not start or hung
  int signal = 0;
  bool timed_out = false;
  std::string out;
  std::string err;
  std::string command;  // the command line, for messages
  // One line saying how the run ended: "exit 0", "exit 3", "hang: `...` did
  // not finish within 60 s (killed)", "`...` died of signal 11".
  std::string Describe() const;
};

// argv[0] is looked up in PATH when it has no slash.
RunResult Run(const std::vector<std::string>& argv, const RunOptions& options = {});

// Waits for a child the test forked itself. Past the limit the child is
// killed, reaped, and false comes back: the caller fails saying it hung.
bool WaitChild(int pid, int* status, std::chrono::milliseconds limit = std::chrono::seconds(120));

}  // namespace ts
