#include "fileinfo/file_version.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace msi {

namespace {

constexpr uint32_t kFileInvalid = 1006;
constexpr uint32_t kInvalidData = 13;

Status NoVersion(const std::string& why) { return Status::Error(kFileInvalid, why); }
Status BadVersion(const std::string& why) { return Status::Error(kInvalidData, why); }

// Random access to a file's bytes.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  // Reads exactly `length` bytes at `offset`; false when they are not all
  // there (the caller has already checked the range against size()).
  virtual bool Read(uint64_t offset, void* out, size_t length) const = 0;
};

// Bounds on work a hostile file could ask for.
constexpr uint32_t kMaxSections = 96;  // the loader's own limit
constexpr uint32_t kMaxDirectoryEntries = 4096;
constexpr uint32_t kMaxVersionBlock = 64 * 1024;
constexpr uint16_t kResourceTypeVersion = 16;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;

class Reader {
 public:
  explicit Reader(const ByteSource& source) : source_(source) {}

  std::optional<std::vector<uint8_t>> Bytes(uint64_t offset,
                                            uint64_t length) const {
    uint64_t size = source_.size();
    if (offset > size || length > size - offset) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (length != 0 && !source_.Read(offset, bytes.data(), bytes.size())) {
      return std::nullopt;
    }
    return bytes;
  }
  std::optional<uint16_t> U16(uint64_t offset) const {
    auto b = Bytes(offset, 2);
    if (!b) return std::nullopt;
    return static_cast<uint16_t>((*b)[0] | ((*b)[1] << 8));
  }
  std::optional<uint32_t> U32(uint64_t offset) const {
    auto b = Bytes(offset, 4);
    if (!b) return std::nullopt;
    return static_cast<uint32_t>((*b)[0]) | (static_cast<uint32_t>((*b)[1]) << 8) |
           (static_cast<uint32_t>((*b)[2]) << 16) |
           (static_cast<uint32_t>((*b)[3]) << 24);
  }

 private:
  const ByteSource& source_;
};

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) |
         (static_cast<uint32_t>(b[at + 3]) << 24);
}

struct Section {
  uint32_t virtual_address;
  uint32_t raw_size;
  uint32_t raw_offset;
};

class PeImage {
 public:
  explicit PeImage(const ByteSource& source) : reader_(source) {}

  Result<FileVersionInfo> FixedFileVersion() {
    auto resources = ResourceDirectoryRva();
    if (!resources) return NoVersion("not a Windows library, or one without resources");
    auto data = VersionResource(*resources);
    if (!data) return NoVersion("no version resource");
    return ParseVersionBlock(data->first, data->second);
  }

 private:
  // The resource directory's RVA, after checking the headers on the way.
  std::optional<uint32_t> ResourceDirectoryRva() {
    auto mz = reader_.U16(0);
    auto pe_offset = reader_.U32(0x3C);
    if (!mz || *mz != 0x5A4D || !pe_offset) return std::nullopt;
    auto signature = reader_.U32(*pe_offset);
    if (!signature || *signature != 0x00004550) return std::nullopt;
    uint64_t coff = static_cast<uint64_t>(*pe_offset) + 4;
    auto section_count = reader_.U16(coff + 2);
    auto optional_size = reader_.U16(coff + 16);
    if (!section_count || !optional_size) return std::nullopt;
    uint64_t optional = coff + 20;
    auto magic = reader_.U16(optional);
    if (!magic) return std::nullopt;
    uint64_t count_at = 0;
    if (*magic == 0x10B) {
      count_at = 92;
    } else if (*magic == 0x20B) {
      count_at = 108;
    } else {
      return std::nullopt;
    }
    uint64_t resource_entry = count_at + 4 + 2 * 8;  // third data directory
    if (resource_entry + 8 > *optional_size) return std::nullopt;
    auto directory_count = reader_.U32(optional + count_at);
    if (!directory_count || *directory_count < 3) return std::nullopt;
    auto rva = reader_.U32(optional + resource_entry);
    auto size = reader_.U32(optional + resource_entry + 4);
    if (!rva || !size || *rva == 0 || *size == 0) return std::nullopt;

    uint64_t table = optional + *optional_size;
    uint32_t sections = *section_count < kMaxSections ? *section_count
                                                      : kMaxSections;
    auto headers = reader_.Bytes(table, static_cast<uint64_t>(sections) * 40);
    if (!headers) return std::nullopt;
    for (uint32_t i = 0; i < sections; ++i) {
      size_t at = static_cast<size_t>(i) * 40;
      sections_.push_back(
          {Le32(*headers, at + 12), Le32(*headers, at + 16), Le32(*headers, at + 20)});
    }
    return *rva;
  }

  // The file offset of `length` bytes at `rva`, when they lie wholly within
  // one section's raw data.
  std::optional<uint64_t> OffsetOf(uint64_t rva, uint64_t length) const {
    for (const Section& s : sections_) {
      if (rva >= s.virtual_address &&
          rva - s.virtual_address <= s.raw_size &&
          length <= s.raw_size - (rva - s.virtual_address)) {
        return static_cast<uint64_t>(s.raw_offset) + (rva - s.virtual_address);
      }
    }
    return std::nullopt;
  }

  std::optional<std::vector<uint8_t>> BytesAtRva(uint64_t rva,
                                                 uint64_t length) const {
    auto offset = OffsetOf(rva, length);
    if (!offset) return std::nullopt;
    return reader_.Bytes(*offset, length);
  }

  // Finds, in the directory at `base` + `directory`, the entry with the
  // given id (or the first entry when `id` is empty); its raw offset word.
  std::optional<uint32_t> DirectoryEntry(uint32_t base, uint32_t directory,
                                         std::optional<uint16_t> id) const {
    auto header = BytesAtRva(static_cast<uint64_t>(base) + directory, 16);
    if (!header) return std::nullopt;
    uint32_t named = Le16(*header, 12);
    uint32_t total = named + Le16(*header, 14);
    if (total == 0 || total > kMaxDirectoryEntries) return std::nullopt;
    auto entries = BytesAtRva(static_cast<uint64_t>(base) + directory + 16,
                              static_cast<uint64_t>(total) * 8);
    if (!entries) return std::nullopt;
    for (uint32_t i = 0; i < total; ++i) {
      uint32_t name = Le32(*entries, i * 8);
      uint32_t target = Le32(*entries, i * 8 + 4);
      if (!id) return target;
      if ((name & 0x80000000u) == 0 && name == *id) return target;
    }
    return std::nullopt;
  }

  // The RVA and size of the first version resource.
  std::optional<std::pair<uint32_t, uint32_t>> VersionResource(uint32_t base) const {
    auto type = DirectoryEntry(base, 0, kResourceTypeVersion);
    if (!type || (*type & 0x80000000u) == 0) return std::nullopt;
    auto name = DirectoryEntry(base, *type & 0x7FFFFFFFu, std::nullopt);
    if (!name || (*name & 0x80000000u) == 0) return std::nullopt;
    auto language = DirectoryEntry(base, *name & 0x7FFFFFFFu, std::nullopt);
    if (!language || (*language & 0x80000000u) != 0) return std::nullopt;
    auto entry = BytesAtRva(static_cast<uint64_t>(base) + *language, 16);
    if (!entry) return std::nullopt;
    return std::make_pair(Le32(*entry, 0), Le32(*entry, 4));
  }

  Result<FileVersionInfo> ParseVersionBlock(uint32_t rva, uint32_t size) const {
    static constexpr char kKey[] = "VS_VERSION_INFO";
    constexpr size_t kKeyEnd = 6 + sizeof kKey * 2;  // key and its terminator
    constexpr size_t kValueAt = (kKeyEnd + 3) & ~size_t{3};
    constexpr size_t kFixedInfoSize = 52;
    if (size < kValueAt + kFixedInfoSize) return BadVersion("version resource too short");
    uint32_t length = size < kMaxVersionBlock ? size : kMaxVersionBlock;
    auto block = BytesAtRva(rva, length);
    if (!block) return BadVersion("version resource outside the file");
    uint16_t block_length = Le16(*block, 0);
    uint16_t value_length = Le16(*block, 2);
    if (block_length < kValueAt + kFixedInfoSize || value_length < kFixedInfoSize) {
      return BadVersion("version block too short");
    }
    for (size_t i = 0; i < sizeof kKey; ++i) {
      if (Le16(*block, 6 + i * 2) != static_cast<unsigned char>(kKey[i])) {
        return BadVersion("version block without its key");
      }
    }
    if (Le32(*block, kValueAt) != kFixedInfoSignature) return BadVersion("bad fixed-info signature");
    FileVersionInfo info;
    info.ms = Le32(*block, kValueAt + 8);
    info.ls = Le32(*block, kValueAt + 12);
    const size_t end = block_length < block->size() ? block_length : block->size();
    FindTranslations(*block, Align(kValueAt + value_length), end, 0, &info.languages);
    return info;
  }

  static size_t Align(size_t at) { return (at + 3) & ~size_t{3}; }

  // Walks the children in [at, end) of a version block; the value of
  // VarFileInfo\Translation is pairs of (language, codepage).
  static void FindTranslations(const std::vector<uint8_t>& b, size_t at, size_t end, int depth,
                               std::vector<uint16_t>* out) {
    while (depth < 2 && at + 6 <= end) {
      const size_t length = Le16(b, at), value_length = Le16(b, at + 2);
      if (length < 6 || length > end - at) return;
      std::u16string key;
      size_t k = at + 6;
      for (; k + 2 <= at + length && Le16(b, k) != 0; k += 2) key.push_back(static_cast<char16_t>(Le16(b, k)));
      const size_t value = Align(k + 2);
      if (depth == 0 && key == u"VarFileInfo") {
        FindTranslations(b, Align(value), at + length, 1, out);
      } else if (depth == 1 && key == u"Translation") {
        for (size_t v = value; v + 4 <= at + length && v + 4 <= value + value_length; v += 4) {
          out->push_back(Le16(b, v));
        }
      }
      at = Align(at + length);
    }
  }

  Reader reader_;
  std::vector<Section> sections_;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  uint64_t size() const override { return bytes_.size(); }
  bool Read(uint64_t offset, void* out, size_t length) const override {
    std::memcpy(out, bytes_.data() + offset, length);
    return true;
  }

 private:
  std::string_view bytes_;
};

class FileSource : public ByteSource {
 public:
  FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
  uint64_t size() const override { return size_; }
  bool Read(uint64_t offset, void* out, size_t length) const override {
    auto* at = static_cast<char*>(out);
    while (length > 0) {
      ssize_t got = pread(fd_, at, length, static_cast<off_t>(offset));
      if (got <= 0) return false;
      at += got;
      offset += static_cast<uint64_t>(got);
      length -= static_cast<size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
  uint64_t size_;
};


}  // namespace

std::string FileVersionInfo::VersionText() const {
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) +
         "." + std::to_string(ls & 0xFFFF);
}

std::string FileVersionInfo::LanguageText() const {
  std::string text;
  for (uint16_t language : languages) text += (text.empty() ? "" : ",") + std::to_string(language);
  return text;
}

Result<FileVersionInfo> FileVersionOfBytes(std::string_view bytes) {
  return PeImage(MemorySource(bytes)).FixedFileVersion();
}

Result<FileVersionInfo> FileVersionOfFile(const std::string& path) {
  // Non-blocking, so that a FIFO or device in the path cannot stall us.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return Status::Error(2, "no file " + path);
    return Status::Error(5, "cannot open " + path);
  }
  struct stat st {};
  Result<FileVersionInfo> info = NoVersion(path + " is not a regular file");
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    info = PeImage(FileSource(fd, static_cast<uint64_t>(st.st_size))).FixedFileVersion();
  }
  close(fd);
  return info;
}

}  // namespace msi
