// The bytes of a whole package file, mapped read-only, so that streams are
// only paged in when a caller reads them. Where the address space cannot
// hold the mapping (a huge package under a memory limit), the image reads
// by descriptor instead and data() is null.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "status.h"

namespace msi::cfb {

// One version of a file, as far as the file system tells: a file replaced
// (another inode) or rewritten (another size or modification time) has
// another stamp. Used to see at commit that a package is still the one
// that was opened.
struct FileStamp {
  bool exists = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t mtime_sec = 0;
  int64_t mtime_nsec = 0;
  bool operator==(const FileStamp&) const = default;
  // The file at `path` now (exists is false when there is none).
  static FileStamp OfPath(const std::string& path);
  // The file open as `fd`.
  static FileStamp OfDescriptor(int fd);
};

class FileImage {
 public:
  // ERROR_OPEN_FAILED (or ERROR_FILE_NOT_FOUND) when it cannot be read.
  static Result<std::shared_ptr<const FileImage>> Map(const std::string& path);
  static std::shared_ptr<const FileImage> FromBytes(std::vector<uint8_t> bytes);

  FileImage(const FileImage&) = delete;
  FileImage& operator=(const FileImage&) = delete;
  ~FileImage();

  // Null when the file is read by descriptor; Read works either way.
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  // Copies n bytes from `offset`; bytes past the end of the file (or that
  // cannot be read) are zero. Returns how many came from the file.
  size_t Read(uint64_t offset, uint8_t* out, size_t n) const;
  // The same, by descriptor even when the file is mapped: reading a large
  // stream piece by piece then leaves no pages of it in the process.
  size_t ReadUnmapped(uint64_t offset, uint8_t* out, size_t n) const;
  // The file the bytes were read from (exists is false for FromBytes).
  const FileStamp& stamp() const { return stamp_; }

 private:
  FileImage() = default;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  FileStamp stamp_;
  void* mapping_ = nullptr;  // non-null when mmap'ed
  int fd_ = -1;              // open for as long as the image lives (files only)
  std::vector<uint8_t> owned_;
};

}  // namespace msi::cfb
