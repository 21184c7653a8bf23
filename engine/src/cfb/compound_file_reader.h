// Reader of MS-CFB compound files (versions 3 and 4). Every structure is
// checked before it is trusted: a damaged file gives ERROR_INVALID_DATA,
// never a read outside the file, a loop or an allocation the file size
// does not justify.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cfb/compound_file.h"
#include "cfb/file_image.h"
#include "status.h"

namespace msi::cfb {

enum class EntryType : uint8_t { kEmpty = 0, kStorage = 1, kStream = 2, kRoot = 5 };

struct DirectoryEntry {
  std::u16string name;
  EntryType type = EntryType::kEmpty;
  Clsid clsid{};
  uint32_t state_bits = 0;
  uint64_t created = 0;
  uint64_t modified = 0;
  uint32_t start_sector = 0;
  uint64_t size = 0;
  uint32_t left = 0, right = 0, child = 0;
};

// Where a stream's bytes lie in the file, run by run, so that it can be
// read piece by piece without being loaded whole.
class StreamExtents {
 public:
  uint64_t size() const { return size_; }
  // Copies up to n bytes from byte `offset` of the stream (fewer only at
  // its end), reading by descriptor so no pages of the stream stay behind.
  size_t Read(uint64_t offset, uint8_t* out, size_t n) const;

 private:
  friend class CompoundFileReader;
  struct Run {
    uint64_t stream_offset, file_offset, length;
  };
  std::shared_ptr<const FileImage> image_;
  std::vector<Run> runs_;  // ascending stream_offset, together covering size_
  uint64_t size_ = 0;
};

class CompoundFileReader {
 public:
  static constexpr uint32_t kRootId = 0;

  // ERROR_INSTALL_PACKAGE_INVALID when the bytes are no compound file at
  // all, ERROR_INVALID_DATA when its structures are damaged.
  static Result<std::shared_ptr<const CompoundFileReader>> Open(
      std::shared_ptr<const FileImage> image);

  unsigned major_version() const { return major_version_; }
  size_t entry_count() const { return entries_.size(); }
  const DirectoryEntry& entry(uint32_t id) const { return entries_[id]; }
  // Streams and storages directly inside a storage, in tree order.
  const std::vector<uint32_t>& Children(uint32_t storage_id) const {
    return children_[storage_id];
  }
  std::optional<uint32_t> FindChild(uint32_t storage_id, std::u16string_view name) const;
  // The whole contents of a stream entry.
  Result<std::vector<uint8_t>> ReadStream(uint32_t id) const;
  // The same bytes, shared with the file image when the stream's sectors
  // lie in order inside the file (as writers lay them out), so that large
  // streams are neither copied nor paged in before they are read; a copy
  // otherwise.
  Result<Bytes> ShareStream(uint32_t id) const;
  // The runs of a stream kept in regular sectors; null for a stream in
  // the mini stream (under 4,096 bytes: read it whole).
  Result<std::shared_ptr<const StreamExtents>> Extents(uint32_t id) const;
  // The size a stream's chain really holds (its declared size was checked
  // against its chain at open).
  uint64_t StreamSize(uint32_t id) const { return entries_[id].size; }

 private:
  struct Geometry {
    uint32_t sector_size = 512;
    uint32_t sector_count = 0;  // sectors that start inside the file
  };

  Status Load();
  Status LoadFat(const uint8_t* header);
  Status LoadDirectory(uint32_t first_sector);
  Status LoadMiniFat(uint32_t first_sector, uint32_t count);
  Status BuildTree();
  Status CheckStreamChains();
  Result<std::vector<uint32_t>> Chain(uint32_t start, const std::vector<uint32_t>& fat,
                                      uint32_t limit) const;
  // Copies `size` bytes of sector `sector` starting at `offset`; bytes past
  // the end of a short last sector read as zero.
  void CopySector(uint32_t sector, uint32_t offset, uint8_t* out, uint32_t size) const;
  // Where in the image the stream's bytes lie in one piece; nullopt when
  // its sectors are out of order or the file ends before its last byte.
  std::optional<uint64_t> ContiguousOffset(const DirectoryEntry& e) const;

  std::shared_ptr<const FileImage> image_;
  unsigned major_version_ = 3;
  Geometry geo_;
  uint32_t mini_cutoff_ = 4096;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> mini_fat_;
  std::vector<uint32_t> mini_stream_sectors_;  // the root entry's chain
  std::vector<DirectoryEntry> entries_;
  std::vector<std::vector<uint32_t>> children_;
};

}  // namespace msi::cfb
