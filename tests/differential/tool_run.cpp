#include "tool_run.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() {
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  }
  ~Pipe() {
    for (int fd : fds)
      if (fd >= 0) close(fd);
  }
  void close_end(int i) {
    close(fds[i]);
    fds[i] = -1;
  }
};

}  // namespace

long ToolRun::result_code() const {
  if (exit_code == 0) return 0;
  auto at = err.find(": error ");
  if (at == std::string::npos) return -1;
  return std::strtol(err.c_str() + at + 8, nullptr, 10);
}

std::string ToolRun::summary() const {
  if (timed_out) return "timed out";
  if (exit_code < 0) return "killed by a signal; stderr: " + err;
  if (exit_code == 0) return "exit 0";
  return "exit " + std::to_string(exit_code) + ", result " + std::to_string(result_code());
}

ToolRun run_tool(const std::string& program, const std::vector<std::string>& args,
                 std::chrono::milliseconds limit) {
  Pipe out, err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out.fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err.fds[1], 2);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
  out.close_end(1);
  err.close_end(1);

  ToolRun run;
  auto deadline = std::chrono::steady_clock::now() + limit;
  pollfd fds[2] = {{out.fds[0], POLLIN, 0}, {err.fds[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  int open_count = 2;
  while (open_count > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      run.timed_out = true;
      break;
    }
    int ready = poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.exit_code = (!run.timed_out && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return run;
}
