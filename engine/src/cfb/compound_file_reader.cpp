#include "cfb/compound_file_reader.h"

#include <algorithm>
#include <cstring>

namespace msi::cfb {
namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kMaxRegular = 0xFFFFFFFA;
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint32_t kDirEntrySize = 128;
constexpr uint32_t kMiniSectorSize = 64;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const uint8_t* p) {
  return static_cast<uint64_t>(Le32(p)) | (static_cast<uint64_t>(Le32(p + 4)) << 32);
}

Status Damaged(const std::string& what) {
  return Status::Error(13, "damaged compound file: " + what);
}

}  // namespace

Result<std::shared_ptr<const CompoundFileReader>> CompoundFileReader::Open(
    std::shared_ptr<const FileImage> image) {
  std::shared_ptr<CompoundFileReader> reader(new CompoundFileReader());
  reader->image_ = std::move(image);
  Status st = reader->Load();
  if (!st.ok()) return st;
  return std::shared_ptr<const CompoundFileReader>(std::move(reader));
}

void CompoundFileReader::CopySector(uint32_t sector, uint32_t offset, uint8_t* out,
                                    uint32_t size) const {
  // The structures read this way are kept in vectors: reading them past
  // the mapping keeps a huge package's FAT from being resident twice.
  image_->ReadUnmapped((static_cast<uint64_t>(sector) + 1) * geo_.sector_size + offset, out, size);
}

Status CompoundFileReader::Load() {
  uint8_t header[512];
  image_->Read(0, header, sizeof header);
  const uint8_t* h = header;
  if (image_->size() < 512 || std::memcmp(h, kSignature, 8) != 0) {
    return Status::Error(1620, "not a compound file (no signature)");
  }
  if (Le16(h + 0x1C) != 0xFFFE) return Damaged("byte order mark");
  major_version_ = Le16(h + 0x1A);
  const uint16_t shift = Le16(h + 0x1E);
  if (major_version_ == 3 && shift == 9) {
    geo_.sector_size = 512;
  } else if (major_version_ == 4 && shift == 12) {
    geo_.sector_size = 4096;
  } else {
    return Damaged("version " + std::to_string(major_version_) + " with sector shift " +
                   std::to_string(shift));
  }
  if (Le16(h + 0x20) != 6) return Damaged("mini sector shift");
  const uint64_t body = image_->size() > geo_.sector_size ? image_->size() - geo_.sector_size : 0;
  const uint64_t count = (body + geo_.sector_size - 1) / geo_.sector_size;
  if (count >= kMaxRegular) return Damaged("file too large");
  geo_.sector_count = static_cast<uint32_t>(count);
  mini_cutoff_ = Le32(h + 0x38);
  if (mini_cutoff_ != 4096) return Damaged("mini stream cutoff");

  MSI_RETURN_IF_ERROR(LoadFat(h));
  MSI_RETURN_IF_ERROR(LoadDirectory(Le32(h + 0x30)));
  MSI_RETURN_IF_ERROR(LoadMiniFat(Le32(h + 0x3C), Le32(h + 0x40)));
  return BuildTree();
}

Status CompoundFileReader::LoadFat(const uint8_t* h) {
  const uint32_t fat_sectors = Le32(h + 0x2C);
  if (fat_sectors > geo_.sector_count) return Damaged("FAT sector count beyond the file");
  std::vector<uint32_t> ids;
  ids.reserve(fat_sectors);
  for (uint32_t i = 0; i < 109 && ids.size() < fat_sectors; ++i) {
    ids.push_back(Le32(h + 0x4C + 4 * i));
  }
  uint32_t difat = Le32(h + 0x44);
  uint32_t difat_left = Le32(h + 0x48);
  const uint32_t per_difat = geo_.sector_size / 4 - 1;
  std::vector<uint8_t> buf(geo_.sector_size);
  uint32_t steps = 0;
  while (ids.size() < fat_sectors) {
    if (difat >= geo_.sector_count || difat_left == 0 || ++steps > geo_.sector_count) {
      return Damaged("DIFAT chain");
    }
    CopySector(difat, 0, buf.data(), geo_.sector_size);
    for (uint32_t i = 0; i < per_difat && ids.size() < fat_sectors; ++i) {
      ids.push_back(Le32(buf.data() + 4 * i));
    }
    difat = Le32(buf.data() + 4 * per_difat);
    --difat_left;
  }
  const uint32_t per_sector = geo_.sector_size / 4;
  fat_.resize(static_cast<size_t>(fat_sectors) * per_sector);
  for (uint32_t i = 0; i < fat_sectors; ++i) {
    if (ids[i] >= geo_.sector_count) return Damaged("FAT sector outside the file");
    CopySector(ids[i], 0, buf.data(), geo_.sector_size);
    for (uint32_t j = 0; j < per_sector; ++j) fat_[i * per_sector + j] = Le32(buf.data() + 4 * j);
  }
  return Status();
}

Result<std::vector<uint32_t>> CompoundFileReader::Chain(uint32_t start,
                                                       const std::vector<uint32_t>& fat,
                                                       uint32_t limit) const {
  std::vector<uint32_t> out;
  uint32_t cur = start;
  while (cur != kEndOfChain) {
    if (cur >= fat.size() || cur >= limit) return Damaged("sector chain leaves the file");
    if (out.size() >= limit) return Damaged("sector chain loops");
    out.push_back(cur);
    const uint32_t next = fat[cur];
    if (next != kEndOfChain && next > kMaxRegular) {
      return Damaged("sector chain meets a special sector");
    }
    cur = next;
  }
  return out;
}

Status CompoundFileReader::LoadDirectory(uint32_t first_sector) {
  auto chain = Chain(first_sector, fat_, geo_.sector_count);
  if (!chain.ok()) return chain.status();
  if (chain->empty()) return Damaged("no directory");
  const uint32_t per_sector = geo_.sector_size / kDirEntrySize;
  entries_.resize(chain->size() * per_sector);
  std::vector<uint8_t> buf(geo_.sector_size);
  for (size_t s = 0; s < chain->size(); ++s) {
    CopySector((*chain)[s], 0, buf.data(), geo_.sector_size);
    for (uint32_t k = 0; k < per_sector; ++k) {
      const uint8_t* e = buf.data() + k * kDirEntrySize;
      DirectoryEntry& d = entries_[s * per_sector + k];
      const uint8_t type = e[0x42];
      if (type != 0 && type != 1 && type != 2 && type != 5) return Damaged("directory entry type");
      d.type = static_cast<EntryType>(type);
      if (d.type == EntryType::kEmpty) continue;
      const uint16_t name_bytes = Le16(e + 0x40);
      if (name_bytes > 64 || name_bytes % 2 != 0) return Damaged("directory entry name length");
      for (uint32_t i = 0; i + 1 < name_bytes / 2u; ++i) {
        d.name.push_back(static_cast<char16_t>(Le16(e + 2 * i)));
      }
      d.left = Le32(e + 0x44);
      d.right = Le32(e + 0x48);
      d.child = Le32(e + 0x4C);
      std::memcpy(d.clsid.data(), e + 0x50, 16);
      d.state_bits = Le32(e + 0x60);
      d.created = Le64(e + 0x64);
      d.modified = Le64(e + 0x6C);
      d.start_sector = Le32(e + 0x74);
      d.size = major_version_ == 3 ? Le32(e + 0x78) : Le64(e + 0x78);
    }
  }
  if (entries_[0].type != EntryType::kRoot) return Damaged("first directory entry is not the root");
  for (size_t i = 1; i < entries_.size(); ++i) {
    if (entries_[i].type == EntryType::kRoot) return Damaged("second root entry");
  }
  return Status();
}

Status CompoundFileReader::LoadMiniFat(uint32_t first_sector, uint32_t count) {
  const DirectoryEntry& root = entries_[kRootId];
  if (root.size > 0) {
    auto chain = Chain(root.start_sector, fat_, geo_.sector_count);
    if (!chain.ok()) return chain.status();
    if (static_cast<uint64_t>(chain->size()) * geo_.sector_size < root.size) {
      return Damaged("mini stream shorter than its size");
    }
    mini_stream_sectors_ = std::move(*chain);
  }
  if (count == 0 || first_sector == kEndOfChain) return Status();
  auto chain = Chain(first_sector, fat_, geo_.sector_count);
  if (!chain.ok()) return chain.status();
  const uint32_t per_sector = geo_.sector_size / 4;
  std::vector<uint8_t> buf(geo_.sector_size);
  mini_fat_.reserve(chain->size() * per_sector);
  for (uint32_t sector : *chain) {
    CopySector(sector, 0, buf.data(), geo_.sector_size);
    for (uint32_t j = 0; j < per_sector; ++j) mini_fat_.push_back(Le32(buf.data() + 4 * j));
  }
  return Status();
}

Status CompoundFileReader::BuildTree() {
  children_.assign(entries_.size(), {});
  std::vector<uint8_t> seen(entries_.size(), 0);
  seen[kRootId] = 1;
  std::vector<uint32_t> storages{kRootId};
  std::vector<uint32_t> stack;
  while (!storages.empty()) {
    const uint32_t storage = storages.back();
    storages.pop_back();
    // In-order walk of the sibling tree, iteratively so that a deep
    // (degenerate) tree cannot exhaust the call stack.
    auto valid = [&](uint32_t id) -> Status {
      if (id >= entries_.size() || entries_[id].type == EntryType::kEmpty ||
          entries_[id].type == EntryType::kRoot) {
        return Damaged("sibling link to a missing entry");
      }
      if (seen[id]) return Damaged("directory entry reached twice (a cycle)");
      seen[id] = 1;
      return Status();
    };
    uint32_t cur = entries_[storage].child;
    if (cur != kNoStream) MSI_RETURN_IF_ERROR(valid(cur));
    stack.clear();
    while (cur != kNoStream || !stack.empty()) {
      while (cur != kNoStream) {
        stack.push_back(cur);
        const uint32_t left = entries_[cur].left;
        if (left != kNoStream) MSI_RETURN_IF_ERROR(valid(left));
        cur = left;
      }
      cur = stack.back();
      stack.pop_back();
      children_[storage].push_back(cur);
      if (entries_[cur].type == EntryType::kStorage) storages.push_back(cur);
      const uint32_t right = entries_[cur].right;
      if (right != kNoStream) MSI_RETURN_IF_ERROR(valid(right));
      cur = right;
    }
  }
  return Status();
}

std::optional<uint32_t> CompoundFileReader::FindChild(uint32_t storage_id,
                                                     std::u16string_view name) const {
  for (uint32_t id : children_[storage_id]) {
    if (entries_[id].name == name) return id;
  }
  return std::nullopt;
}

Result<std::vector<uint8_t>> CompoundFileReader::ReadStream(uint32_t id) const {
  if (id >= entries_.size() || entries_[id].type != EntryType::kStream) {
    return Status::Error(87, "not a stream");
  }
  const DirectoryEntry& e = entries_[id];
  if (e.size == 0) return std::vector<uint8_t>();
  if (e.size > image_->size()) return Damaged("stream larger than the file");
  // Filled by appending: zeroing the buffer first costs as much as the copy.
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(e.size));
  const size_t size = static_cast<size_t>(e.size);
  auto append = [&](uint32_t sector, uint32_t offset, uint32_t n) {
    const uint64_t start = (static_cast<uint64_t>(sector) + 1) * geo_.sector_size + offset;
    if (image_->data() != nullptr) {
      const uint64_t have = start < image_->size() ? image_->size() - start : 0;
      const size_t take = static_cast<size_t>(std::min<uint64_t>(have, n));
      out.insert(out.end(), image_->data() + start, image_->data() + start + take);
      out.resize(out.size() + (n - take));  // a file cut short reads as zeros
    } else {
      out.resize(out.size() + n);
      image_->Read(start, out.data() + out.size() - n, n);
    }
  };
  if (e.size < mini_cutoff_) {
    const uint64_t mini_capacity =
        static_cast<uint64_t>(mini_stream_sectors_.size()) * geo_.sector_size / kMiniSectorSize;
    const uint32_t limit = static_cast<uint32_t>(std::min<uint64_t>(mini_capacity, mini_fat_.size()));
    uint32_t cur = e.start_sector;
    std::vector<bool> seen(limit);  // a sector met twice means a loop
    while (out.size() < size) {
      if (cur >= limit || seen[cur]) return Damaged("mini stream chain");
      seen[cur] = true;
      const uint64_t off = static_cast<uint64_t>(cur) * kMiniSectorSize;
      const uint32_t n = static_cast<uint32_t>(std::min<size_t>(kMiniSectorSize, size - out.size()));
      append(mini_stream_sectors_[off / geo_.sector_size], static_cast<uint32_t>(off % geo_.sector_size), n);
      cur = mini_fat_[cur];
    }
    return out;
  }
  uint32_t cur = e.start_sector;
  const uint32_t limit = std::min<uint32_t>(static_cast<uint32_t>(fat_.size()), geo_.sector_count);
  std::vector<bool> seen(limit);  // a sector met twice means a loop
  while (out.size() < size) {
    if (cur >= limit || seen[cur]) return Damaged("stream chain");
    seen[cur] = true;
    append(cur, 0, static_cast<uint32_t>(std::min<size_t>(geo_.sector_size, size - out.size())));
    cur = fat_[cur];
  }
  return out;
}

std::optional<uint64_t> CompoundFileReader::ContiguousOffset(const DirectoryEntry& e) const {
  const uint64_t sector_size = geo_.sector_size;
  auto file_offset = [&](uint32_t sector, uint64_t within) { return (sector + 1ull) * sector_size + within; };
  std::optional<uint64_t> start;
  if (e.size < mini_cutoff_) {
    const uint64_t mini_capacity = mini_stream_sectors_.size() * sector_size / kMiniSectorSize;
    const uint64_t limit = std::min<uint64_t>(mini_capacity, mini_fat_.size());
    const uint64_t count = (e.size + kMiniSectorSize - 1) / kMiniSectorSize;
    uint32_t cur = e.start_sector;
    uint64_t expected = 0;
    for (uint64_t i = 0; i < count; ++i) {
      if (cur >= limit) return std::nullopt;
      const uint64_t off = static_cast<uint64_t>(cur) * kMiniSectorSize;
      const uint64_t here = file_offset(mini_stream_sectors_[off / sector_size], off % sector_size);
      if (i == 0) start = here;
      else if (here != expected) return std::nullopt;
      expected = here + kMiniSectorSize;
      cur = mini_fat_[cur];
    }
  } else {
    const uint64_t limit = std::min<uint64_t>(fat_.size(), geo_.sector_count);
    const uint64_t count = (e.size + sector_size - 1) / sector_size;
    uint32_t cur = e.start_sector;
    for (uint64_t i = 0; i < count; ++i) {
      if (cur >= limit || (i > 0 && cur != e.start_sector + i)) return std::nullopt;
      cur = fat_[cur];
    }
    start = file_offset(e.start_sector, 0);
  }
  // Strictly ascending sectors cannot loop; the bytes must all be there.
  if (!start || *start > image_->size() || image_->size() - *start < e.size) return std::nullopt;
  return start;
}

Result<Bytes> CompoundFileReader::ShareStream(uint32_t id) const {
  if (id < entries_.size() && entries_[id].type == EntryType::kStream && entries_[id].size > 0) {
    auto offset = ContiguousOffset(entries_[id]);
    if (offset && image_->data() != nullptr) {
      return Bytes(image_, image_->data() + *offset, static_cast<size_t>(entries_[id].size));
    }
  }
  auto copy = ReadStream(id);
  if (!copy.ok()) return copy.status();
  return Bytes(std::make_shared<const std::vector<uint8_t>>(std::move(*copy)));
}

Result<std::shared_ptr<const StreamExtents>> CompoundFileReader::Extents(uint32_t id) const {
  if (id >= entries_.size() || entries_[id].type != EntryType::kStream) {
    return Status::Error(87, "not a stream");
  }
  const DirectoryEntry& e = entries_[id];
  if (e.size < mini_cutoff_) return std::shared_ptr<const StreamExtents>();
  auto extents = std::make_shared<StreamExtents>();
  extents->image_ = image_;
  extents->size_ = e.size;
  const uint64_t sector_size = geo_.sector_size;
  const uint32_t limit = std::min<uint32_t>(static_cast<uint32_t>(fat_.size()), geo_.sector_count);
  std::vector<bool> seen(limit);  // a sector met twice means a loop
  uint32_t cur = e.start_sector;
  for (uint64_t at = 0; at < e.size; at += sector_size) {
    if (cur >= limit || seen[cur]) return Damaged("stream chain");
    seen[cur] = true;
    const uint64_t file_offset = (cur + 1ull) * sector_size;
    const uint64_t length = std::min<uint64_t>(sector_size, e.size - at);
    auto& runs = extents->runs_;
    if (!runs.empty() && runs.back().file_offset + runs.back().length == file_offset) {
      runs.back().length += length;
    } else {
      runs.push_back({at, file_offset, length});
    }
    cur = fat_[cur];
  }
  return std::shared_ptr<const StreamExtents>(std::move(extents));
}

size_t StreamExtents::Read(uint64_t offset, uint8_t* out, size_t n) const {
  if (offset >= size_) return 0;
  n = static_cast<size_t>(std::min<uint64_t>(n, size_ - offset));
  // The last run that starts at or before the offset holds it.
  auto run = std::upper_bound(runs_.begin(), runs_.end(), offset,
                              [](uint64_t o, const Run& r) { return o < r.stream_offset; });
  size_t done = 0;
  for (--run; done < n && run != runs_.end(); ++run) {
    const uint64_t within = offset + done - run->stream_offset;
    const size_t take = static_cast<size_t>(std::min<uint64_t>(run->length - within, n - done));
    image_->ReadUnmapped(run->file_offset + within, out + done, take);
    done += take;
  }
  return done;
}

}  // namespace msi::cfb
