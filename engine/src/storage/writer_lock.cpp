#include "storage/writer_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace msi {
namespace {

std::string RealPath(const std::string& path) {
  std::string out = path;
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    out = real;
    std::free(real);
  }
  return out;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string LockPathFor(const std::string& path) {
  // A package that exists is found where it really is; one still to be
  // created in the real folder it will be created in.
  const std::string full = RealPath(path);
  const size_t slash = full.find_last_of('/');
  const std::string base = slash == std::string::npos ? full : full.substr(slash + 1);
  std::string dir = RealPath(slash == std::string::npos ? "." : slash == 0 ? "/" : full.substr(0, slash));
  if (dir.empty() || dir.back() != '/') dir.push_back('/');
  return dir + "." + base + ".lock";
}

Result<std::unique_ptr<WriterLock>> WriterLock::Acquire(const std::string& path) {
  // Everything that may need memory comes before the lock is taken, so
  // that running out of it can never leave a lock behind.
  std::unique_ptr<WriterLock> lock(new WriterLock(-1, LockPathFor(path)));
  const std::string& lock_path = lock->lock_path_;
  // The file at the lock path may be removed by a writer that is closing,
  // between our opening it and locking it: the lock then sits on a file
  // nobody else will look at. Checking after locking that the path still
  // names the locked file, and trying again when not, closes that gap.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(lock_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
      return Status::Error(110, "cannot create the lock file " + lock_path + ": " +
                                    std::strerror(errno));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      ::close(fd);
      if (err == EWOULDBLOCK || err == EINTR) {
        return Status::Error(110, path + " is open for writing in another program (" +
                                      lock_path + " is locked)");
      }
      if (err == ENOLCK || err == EOPNOTSUPP || err == ENOSYS || err == EINVAL) {
        // A file system without locks: the check at commit that the
        // package is still the one that was opened is all that is left.
        ::unlink(lock_path.c_str());
        return lock;
      }
      return Status::Error(110, "cannot lock " + lock_path + ": " + std::strerror(err));
    }
    struct stat locked {}, named {};
    if (::fstat(fd, &locked) == 0 && ::stat(lock_path.c_str(), &named) == 0 &&
        SameFile(locked, named)) {
      lock->fd_ = fd;
      return lock;
    }
    ::close(fd);
  }
  return Status::Error(110, "cannot lock " + lock_path + ": it keeps being replaced");
}

WriterLock::WriterLock(int fd, std::string lock_path)
    : fd_(fd), lock_path_(std::move(lock_path)), owner_(static_cast<int>(::getpid())) {}

WriterLock::~WriterLock() {
  if (fd_ < 0) return;
  // Removed while still locked: a writer that opened this file meanwhile
  // finds it gone once it gets the lock, and tries again with a new one.
  // A child process that inherited the lock (fork) and closes its copy of
  // the database leaves the file to the process that still holds it.
  if (static_cast<int>(::getpid()) == owner_) ::unlink(lock_path_.c_str());
  ::close(fd_);
}

}  // namespace msi
