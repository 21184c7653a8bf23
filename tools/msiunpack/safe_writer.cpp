#include "safe_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace msiunpack {
namespace {

// Folders stay open while files are written into them; past this many the
// cache starts afresh so that huge packages stay within the descriptor limit.
constexpr size_t kMaxOpenFolders = 256;

std::string Joined(const std::vector<std::string>& parts, size_t count) {
  std::string path;
  for (size_t i = 0; i < count; ++i) path += (i ? "/" : "") + parts[i];
  return path;
}

Failure SystemFailure(const std::string& path, const std::string& doing) {
  return Failure{path + ": " + doing + ": " + std::strerror(errno)};
}

// The temporary file being written, so that a run stopped by a signal
// removes it instead of leaving a partial file behind.
volatile sig_atomic_t g_temp_folder = -1;
char g_temp_name[64];

extern "C" void RemoveTemporaryAndStop(int signal_number) {
  const int folder = g_temp_folder;
  if (folder >= 0) ::unlinkat(folder, g_temp_name, 0);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void RemoveTemporaryOnSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveTemporaryAndStop;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::sigaction(s, &action, nullptr);
}

}  // namespace

Outcome<OutputTree> OutputTree::Open(const std::string& root) {
  std::error_code ec;
  std::filesystem::create_directories(root, ec);
  if (ec) return Failure{root + ": cannot create the folder: " + ec.message()};
  const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return SystemFailure(root, "cannot open the folder");
  RemoveTemporaryOnSignals();
  return OutputTree(fd);
}

OutputTree::OutputTree(OutputTree&& other) noexcept
    : root_fd_(other.root_fd_), folder_fds_(std::move(other.folder_fds_)),
      temp_counter_(other.temp_counter_) {
  other.root_fd_ = -1;
  other.folder_fds_.clear();
}

OutputTree::~OutputTree() {
  ForgetFolders();
  if (root_fd_ >= 0) ::close(root_fd_);
}

void OutputTree::ForgetFolders() {
  for (auto& [path, fd] : folder_fds_) ::close(fd);
  folder_fds_.clear();
}

Outcome<int> OutputTree::Folder(const std::vector<std::string>& folders) {
  if (folders.empty()) return root_fd_;
  const std::string path = Joined(folders, folders.size());
  if (auto known = folder_fds_.find(path); known != folder_fds_.end()) return known->second;
  if (folder_fds_.size() >= kMaxOpenFolders) ForgetFolders();
  int parent = root_fd_;
  for (size_t i = 0; i < folders.size(); ++i) {
    const std::string here = Joined(folders, i + 1);
    if (auto known = folder_fds_.find(here); known != folder_fds_.end()) {
      parent = known->second;
      continue;
    }
    if (::mkdirat(parent, folders[i].c_str(), 0777) != 0 && errno != EEXIST)
      return SystemFailure(here, "cannot create the folder");
    // O_NOFOLLOW: a link planted where a folder belongs is refused, so
    // nothing is ever written outside the output folder.
    const int fd = ::openat(parent, folders[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ELOOP || errno == ENOTDIR)
        return Failure{here + ": is a link or a file where a folder belongs; refused"};
      return SystemFailure(here, "cannot open the folder");
    }
    folder_fds_.emplace(here, fd);
    parent = fd;
  }
  return parent;
}

Status OutputTree::Write(const std::vector<std::string>& folders, const std::string& name,
                         const std::function<Status(int fd)>& fill, const timespec* modified) {
  const std::string path = folders.empty() ? name : Joined(folders, folders.size()) + "/" + name;
  auto folder = Folder(folders);
  if (!folder.ok()) return folder.failure();
  const int dir = folder.value();
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = ".msiunpack-" + std::to_string(::getpid()) + "-" + std::to_string(temp_counter_++);
    g_temp_folder = -1;
    std::snprintf(g_temp_name, sizeof g_temp_name, "%s", temp.c_str());
    g_temp_folder = dir;
    fd = ::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt > 100)) return SystemFailure(path, "cannot create the file");
  }
  Status filled = fill(fd);
  if (filled.ok() && modified != nullptr) {
    const timespec times[2] = {{0, UTIME_OMIT}, *modified};
    if (::futimens(fd, times) != 0) filled = SystemFailure(path, "cannot set the file time");
  }
  if (::close(fd) != 0 && filled.ok()) filled = SystemFailure(path, "cannot write the file");
  // rename replaces whatever stands at the name, a link included, and
  // never follows it.
  if (filled.ok() && ::renameat(dir, temp.c_str(), dir, name.c_str()) != 0)
    filled = SystemFailure(path, "cannot put the file in place");
  if (!filled.ok()) ::unlinkat(dir, temp.c_str(), 0);
  g_temp_folder = -1;
  return filled;
}

}  // namespace msiunpack
