// The bytes of a whole package file, mapped read-only, so that streams are
// only paged in when a caller reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "status.h"

namespace msi::cfb {

class FileImage {
 public:
  // ERROR_OPEN_FAILED (or ERROR_FILE_NOT_FOUND) when it cannot be read.
  static Result<std::shared_ptr<const FileImage>> Map(const std::string& path);
  static std::shared_ptr<const FileImage> FromBytes(std::vector<uint8_t> bytes);

  FileImage(const FileImage&) = delete;
  FileImage& operator=(const FileImage&) = delete;
  ~FileImage();

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  FileImage() = default;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  void* mapping_ = nullptr;  // non-null when mmap'ed
  std::vector<uint8_t> owned_;
};

}  // namespace msi::cfb
