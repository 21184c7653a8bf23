#include "cfb/file_image.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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
  if (image->size_ > 0) {
    void* p = ::mmap(nullptr, image->size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      // Some file systems cannot map; reading the whole file still works.
      image->owned_.resize(image->size_);
      size_t done = 0;
      while (done < image->size_) {
        ssize_t n = ::pread(fd, image->owned_.data() + done, image->size_ - done,
                            static_cast<off_t>(done));
        if (n <= 0) {
          ::close(fd);
          return Status::Error(110, "cannot read " + path);
        }
        done += static_cast<size_t>(n);
      }
      image->data_ = image->owned_.data();
    } else {
      image->mapping_ = p;
      image->data_ = static_cast<const uint8_t*>(p);
    }
  }
  ::close(fd);
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
}

}  // namespace msi::cfb
