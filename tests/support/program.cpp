#include "program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace ts {
namespace {

std::string Quoted(const std::vector<std::string>& argv) {
  std::string line;
  for (const auto& a : argv) {
    if (!line.empty()) line += ' ';
    const bool plain = !a.empty() && a.find_first_of(" \t\n'\"\\$`") == std::string::npos;
    line += plain ? a : "'" + a + "'";
  }
  return line;
}

std::vector<std::string> Environment(const std::vector<std::string>& overrides) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const auto& o : overrides) replaced = replaced || o.substr(0, o.find('=')) == name;
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), overrides.begin(), overrides.end());
  return env;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

std::string RunResult::Describe() const {
  if (timed_out) return "hang: `" + command + "` did not finish within its time limit (killed)";
  if (signal != 0) return "`" + command + "` died of signal " + std::to_string(signal) + "; stderr: " + err;
  if (exit_code < 0) return "`" + command + "` could not be run: " + err;
  return "`" + command + "` exit " + std::to_string(exit_code) + (exit_code != 0 ? "; stderr: " + err : "");
}

RunResult Run(const std::vector<std::string>& argv, const RunOptions& options) {
  RunResult result;
  result.command = Quoted(argv);
  if (argv.empty()) return result;
  int out[2], err[2], in[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  // Everything the child needs is made before fork: after it, only
  // async-signal-safe calls.
  std::vector<std::string> env = Environment(options.env);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string cwd = options.cwd.string();
  const pid_t parent = ::getpid();

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(127);
    ::execvpe(args[0], args.data(), envp.data());
    const char message[] = "cannot execute the program\n";
    (void)!::write(2, message, sizeof message - 1);
    ::_exit(127);
  }
  ::setpgid(pid, pid);
  CloseFd(in[0]);
  CloseFd(out[1]);
  CloseFd(err[1]);
  if (options.input.empty()) CloseFd(in[1]);

  const auto deadline = std::chrono::steady_clock::now() + options.limit;
  size_t written = 0;
  int status = 0;
  bool exited = false;
  std::string* sinks[2] = {&result.out, &result.err};
  int fds[2] = {out[0], err[0]};
  while (fds[0] >= 0 || fds[1] >= 0 || in[1] >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      break;
    }
    pollfd polls[3] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}, {in[1], POLLOUT, 0}};
    const int ready = ::poll(polls, 3, static_cast<int>(std::min<long long>(left.count(), 100)));
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i] < 0 || polls[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = ::read(fds[i], buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        CloseFd(fds[i]);
      }
    }
    if (in[1] >= 0 && polls[2].revents != 0) {
      const ssize_t put = ::write(in[1], options.input.data() + written, options.input.size() - written);
      if (put > 0) written += static_cast<size_t>(put);
      if (put < 0 || written == options.input.size()) CloseFd(in[1]);
    }
    // The program is done but something it started still holds the pipes:
    // that is left over, not output.
    if (!exited && ::waitpid(pid, &status, WNOHANG) == pid) {
      exited = true;
      ::kill(-pid, SIGKILL);
      CloseFd(in[1]);
    }
  }
  ::kill(-pid, SIGKILL);
  for (int& fd : fds) CloseFd(fd);
  CloseFd(in[1]);
  while (!exited && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (result.timed_out) return result;
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

bool WaitChild(int pid, int* status, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const pid_t done = ::waitpid(pid, status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) return done == pid;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, status, 0) < 0 && errno == EINTR) {
      }
      return false;
    }
    ::usleep(2000);
  }
}

}  // namespace ts
