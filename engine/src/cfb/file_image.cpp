#include "cfb/file_image.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace msi::cfb {
namespace {

FileStamp StampOf(const struct stat& st) {
  FileStamp s;
  s.exists = true;
  s.device = static_cast<uint64_t>(st.st_dev);
  s.inode = static_cast<uint64_t>(st.st_ino);
  s.size = static_cast<uint64_t>(st.st_size);
  s.mtime_sec = static_cast<int64_t>(st.st_mtim.tv_sec);
  s.mtime_nsec = static_cast<int64_t>(st.st_mtim.tv_nsec);
  return s;
}

}  // namespace

FileStamp FileStamp::OfPath(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return FileStamp();
  return StampOf(st);
}

FileStamp FileStamp::OfDescriptor(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return FileStamp();
  return StampOf(st);
}

Result<std::shared_ptr<const FileImage>> FileImage::Map(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    // Missing and unreadable files alike: the installer answers
    // ERROR_OPEN_FAILED for both.
    return Status::Error(110, "cannot open " + path + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::Error(110, path + " is not a regular file");
  }
  std::shared_ptr<FileImage> image(new FileImage());
  image->size_ = static_cast<size_t>(st.st_size);
  image->stamp_ = StampOf(st);
  image->fd_ = fd;
  if (image->size_ > 0) {
    void* p = ::mmap(nullptr, image->size_, PROT_READ, MAP_PRIVATE, fd, 0);
    // Without a mapping (no room in the address space, or a file system
    // that cannot map) every read goes through the descriptor.
    if (p != MAP_FAILED) {
      image->mapping_ = p;
      image->data_ = static_cast<const uint8_t*>(p);
    }
  }
  return std::shared_ptr<const FileImage>(std::move(image));
}

std::shared_ptr<const FileImage> FileImage::FromBytes(std::vector<uint8_t> bytes) {
  std::shared_ptr<FileImage> image(new FileImage());
  image->owned_ = std::move(bytes);
  image->data_ = image->owned_.data();
  image->size_ = image->owned_.size();
  return image;
}

FileImage::~FileImage() {
  if (mapping_ != nullptr) ::munmap(mapping_, size_);
  if (fd_ >= 0) ::close(fd_);
}

size_t FileImage::Read(uint64_t offset, uint8_t* out, size_t n) const {
  if (data_ == nullptr) return ReadUnmapped(offset, out, n);
  const uint64_t have = offset < size_ ? size_ - offset : 0;
  const size_t take = static_cast<size_t>(std::min<uint64_t>(have, n));
  if (take > 0) std::memcpy(out, data_ + offset, take);
  if (take < n) std::memset(out + take, 0, n - take);
  return take;
}

size_t FileImage::ReadUnmapped(uint64_t offset, uint8_t* out, size_t n) const {
  if (fd_ < 0) {  // bytes in memory (or an empty file)
    if (data_ != nullptr) return Read(offset, out, n);
    std::memset(out, 0, n);
    return 0;
  }
  const uint64_t have = offset < size_ ? size_ - offset : 0;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(have, n));
  size_t done = 0;
  while (done < want) {
    const ssize_t got = ::pread(fd_, out + done, want - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // the file shrank under us: the rest reads as zeros
    done += static_cast<size_t>(got);
  }
  if (done < n) std::memset(out + done, 0, n - done);
  return done;
}

}  // namespace msi::cfb
