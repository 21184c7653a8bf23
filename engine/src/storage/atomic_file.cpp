#include "storage/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace msi {
namespace {

Status ErrnoStatus(int err, const std::string& what) {
  uint32_t code = 29;  // ERROR_WRITE_FAULT
  if (err == ENOSPC || err == EDQUOT || err == EFBIG) code = 39;
  if (err == EACCES || err == EPERM || err == EROFS) code = 5;
  return Status::Error(code, what + ": " + std::strerror(err));
}

class FileSink : public cfb::ByteSink {
 public:
  explicit FileSink(int fd) : fd_(fd) { buffer_.reserve(kBufferSize); }
  Status Write(const uint8_t* data, size_t size) override {
    if (buffer_.size() + size > kBufferSize) MSI_RETURN_IF_ERROR(Flush());
    if (size >= kBufferSize) return WriteAll(data, size);
    buffer_.insert(buffer_.end(), data, data + size);
    return Status();
  }
  Status Flush() {
    Status st = WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return st;
  }

 private:
  static constexpr size_t kBufferSize = 1 << 16;
  Status WriteAll(const uint8_t* data, size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(fd_, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return ErrnoStatus(errno, "writing the new package");
      }
      data += n;
      size -= static_cast<size_t>(n);
    }
    return Status();
  }
  int fd_;
  std::vector<uint8_t> buffer_;
};

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

Status ChangedUnderneath(const std::string& path) {
  return Status::Error(1006, path +
                                 " was changed or replaced by another program since it was "
                                 "opened; nothing was written");
}

Status ReplaceFileAtomically(const std::string& link_path,
                             const std::function<Status(cfb::ByteSink&)>& fill,
                             const cfb::FileStamp* expected, cfb::FileStamp* written) {
  // A package reached through a symbolic link is replaced where it really
  // is; renaming over the link would leave the package unchanged.
  std::string path = link_path;
  if (char* real = ::realpath(link_path.c_str(), nullptr)) {
    path = real;
    std::free(real);
  }
  const std::string dir = DirectoryOf(path);
  const size_t slash = path.find_last_of('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = dir + "/." + base + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return ErrnoStatus(errno, "creating a file beside " + path);
  temp = name.data();
  auto fail = [&](Status st) {
    ::close(fd);
    ::unlink(temp.c_str());
    return st;
  };
  FileSink sink(fd);
  Status st = fill(sink);
  if (!st.ok()) return fail(st);
  st = sink.Flush();
  if (!st.ok()) return fail(st);
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) {
    if (::fchmod(fd, old.st_mode & 07777) != 0) return fail(ErrnoStatus(errno, "setting permissions"));
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Only the owner's group may differ; keeping the file readable matters more.
    }
  } else if (::fchmod(fd, 0644) != 0) {
    return fail(ErrnoStatus(errno, "setting permissions"));
  }
  if (::fsync(fd) != 0) return fail(ErrnoStatus(errno, "flushing the new package"));
  const cfb::FileStamp stamp = cfb::FileStamp::OfDescriptor(fd);
  if (::close(fd) != 0) {
    ::unlink(temp.c_str());
    return ErrnoStatus(errno, "closing the new package");
  }
  // The last look at the old file comes as late as it can: right before the
  // rename. (Writers of this engine are kept apart by their locks; this
  // catches every other program.)
  if (expected != nullptr && cfb::FileStamp::OfPath(path) != *expected) {
    ::unlink(temp.c_str());
    return ChangedUnderneath(link_path);
  }
  int renamed = -1;
  if (expected != nullptr && !expected->exists) {
    // There was no file: the rename must not replace one made meanwhile.
    renamed = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
    if (renamed != 0 && errno == EEXIST) {
      ::unlink(temp.c_str());
      return ChangedUnderneath(link_path);
    }
    if (renamed != 0 && errno != EINVAL && errno != ENOSYS) {
      const int err = errno;
      ::unlink(temp.c_str());
      return ErrnoStatus(err, "replacing " + path);
    }
  }
  if (renamed != 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return ErrnoStatus(err, "replacing " + path);
  }
  if (written != nullptr) *written = stamp;
  // The rename itself must reach the disk too.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return Status();
}

}  // namespace msi
