// Compound file (MS-CFB) data shared by the reader and the writer.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "status.h"

namespace msi::cfb {

using Clsid = std::array<uint8_t, 16>;

// Where the writer sends the bytes of a new file, in order. Commit code
// gives it a file; tests give it memory or a sink that fails on cue.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual Status Write(const uint8_t* data, size_t size) = 0;
};

// The contents of one stream, shared so that a commit can carry streams of
// the old file over without copying them more than once.
// Either bytes of their own or a range of a mapped file, which `owner`
// keeps alive.
class Bytes {
 public:
  Bytes() = default;
  Bytes(std::shared_ptr<const std::vector<uint8_t>> owned)  // NOLINT: implicit by design
      : owner_(owned), data_(owned ? owned->data() : nullptr), size_(owned ? owned->size() : 0) {}
  Bytes(std::shared_ptr<std::vector<uint8_t>> owned)  // NOLINT: implicit by design
      : Bytes(std::shared_ptr<const std::vector<uint8_t>>(std::move(owned))) {}
  Bytes(std::shared_ptr<const void> owner, const uint8_t* data, size_t size)
      : owner_(std::move(owner)), data_(data), size_(size) {}
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const uint8_t* begin() const { return data_; }
  const uint8_t* end() const { return data_ + size_; }
  // `n` bytes from `offset`, sharing the owner.
  Bytes Slice(size_t offset, size_t n) const { return Bytes(owner_, data_ + offset, n); }
  bool operator==(const Bytes& other) const {
    return size_ == other.size_ && (size_ == 0 || std::memcmp(data_, other.data_, size_) == 0);
  }

 private:
  std::shared_ptr<const void> owner_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

struct StreamEntry {
  StreamEntry() = default;
  StreamEntry(std::u16string name_, Bytes data_, std::vector<Bytes> more_ = {})
      : name(std::move(name_)), data(std::move(data_)), more(std::move(more_)) {}
  std::u16string name;  // stored name (already encoded), at most 31 units
  Bytes data;           // may be empty
  // Further pieces, written after `data` as one stream: a stream made
  // mostly of ranges of the old file need not be copied together first.
  std::vector<Bytes> more;
  uint64_t size() const {
    uint64_t n = data.size();
    for (const Bytes& b : more) n += b.size();
    return n;
  }
};

struct StorageTree {
  std::u16string name;  // ignored for the root ("Root Entry" is written)
  Clsid clsid{};
  uint32_t state_bits = 0;
  uint64_t created = 0;   // FILETIME values, kept as found
  uint64_t modified = 0;
  std::vector<StreamEntry> streams;
  std::vector<StorageTree> storages;
};

struct WriteOptions {
  unsigned major_version = 3;  // 3: 512-byte sectors, 4: 4096-byte sectors
};

// Writes a complete, valid compound file holding the tree under `root`.
// Names within one storage must be unique (compared as the format does:
// length, then upper-cased code units); a duplicate or over-long name is
// ERROR_INVALID_PARAMETER and nothing is written.
Status WriteCompoundFile(const StorageTree& root, const WriteOptions& options,
                         ByteSink& sink);

}  // namespace msi::cfb
