#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "cfb/compound_file.h"
#include "cfb/compound_file_writer_names.h"

namespace msi::cfb {
namespace {

constexpr uint32_t kErrorInvalidParameter = 87;

constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
// Sector and stream numbers above 0xFFFFFFFA are reserved markers.
constexpr uint64_t kMaxSectorCount = 0xFFFFFFFBull;
constexpr uint64_t kMaxEntryCount = 0xFFFFFFFBull;
constexpr uint64_t kMaxVersion3StreamSize = 0x80000000ull;

constexpr size_t kHeaderDifatSlots = 109;
constexpr size_t kEntrySize = 128;
constexpr uint64_t kMiniSectorSize = 64;
constexpr uint64_t kMiniStreamCutoff = 4096;

constexpr uint8_t kTypeStorage = 1;
constexpr uint8_t kTypeStream = 2;
constexpr uint8_t kTypeRoot = 5;
constexpr uint8_t kRed = 0;
constexpr uint8_t kBlack = 1;

struct Entry {
  std::u16string_view name;
  uint8_t type = kTypeStream;
  const StorageTree* storage = nullptr;        // storages and the root
  const StreamEntry* stream = nullptr;
  uint32_t left = kNoStream;
  uint32_t right = kNoStream;
  uint32_t child = kNoStream;
  uint8_t color = kBlack;
  uint32_t start = 0;
  uint64_t size = 0;
};

struct Sibling {
  std::u16string_view name;
  const StreamEntry* stream;
  const StorageTree* storage;
};

uint64_t CeilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Links entries [first, first + count) - already in sibling order - into a
// balanced search tree and returns its top. Splitting at the middle fills
// every level but the deepest, so colouring the deepest level red when it
// is incomplete (all black otherwise) gives every path from the top to a
// missing child the same number of black nodes and never two reds in a
// row: a valid red-black tree that any reader can search.
uint32_t LinkSiblings(std::vector<Entry>& entries, uint32_t first,
                      uint32_t count) {
  if (count == 0) return kNoStream;
  const unsigned levels = std::bit_width(count);
  const bool complete = (count & (count + 1)) == 0;
  const std::optional<unsigned> red_depth =
      complete ? std::nullopt : std::optional<unsigned>(levels - 1);

  struct Linker {
    std::vector<Entry>& entries;
    std::optional<unsigned> red_depth;
    uint32_t Link(uint32_t lo, uint32_t hi, unsigned depth) {
      if (lo >= hi) return kNoStream;
      const uint32_t mid = lo + (hi - lo) / 2;
      entries[mid].color =
          (red_depth && depth == *red_depth) ? kRed : kBlack;
      const uint32_t left = Link(lo, mid, depth + 1);
      const uint32_t right = Link(mid + 1, hi, depth + 1);
      entries[mid].left = left;
      entries[mid].right = right;
      return mid;
    }
  };
  Linker linker{entries, red_depth};
  return linker.Link(first, first + count, 0);
}

// Lays the tree out as directory entries: the root first, then every
// storage's children in sibling order, storage after storage (breadth
// first, so deep nesting costs no stack).
Status CollectEntries(const StorageTree& root, std::vector<Entry>& entries) {
  Entry top;
  top.name = u"Root Entry";
  top.type = kTypeRoot;
  top.storage = &root;
  entries.push_back(top);

  std::vector<Sibling> siblings;
  for (size_t parent = 0; parent < entries.size(); ++parent) {
    if (entries[parent].type == kTypeStream) continue;
    const StorageTree& storage = *entries[parent].storage;
    siblings.clear();
    for (const StreamEntry& s : storage.streams) {
      siblings.push_back({s.name, &s, nullptr});
    }
    for (const StorageTree& s : storage.storages) {
      siblings.push_back({s.name, nullptr, &s});
    }
    for (const Sibling& s : siblings) {
      MSI_RETURN_IF_ERROR(CheckEntryName(s.name));
    }
    std::sort(siblings.begin(), siblings.end(),
              [](const Sibling& a, const Sibling& b) {
                return CompareSiblingNames(a.name, b.name) < 0;
              });
    for (size_t i = 1; i < siblings.size(); ++i) {
      if (CompareSiblingNames(siblings[i - 1].name, siblings[i].name) == 0) {
        return Status::Error(kErrorInvalidParameter,
                             "two compound file entries in one storage "
                             "share a name");
      }
    }
    if (entries.size() + siblings.size() > kMaxEntryCount) {
      return Status::Error(kErrorInvalidParameter,
                           "too many entries for a compound file");
    }
    const auto first = static_cast<uint32_t>(entries.size());
    for (const Sibling& s : siblings) {
      Entry e;
      e.name = s.name;
      if (s.stream) {
        e.type = kTypeStream;
        e.stream = s.stream;
        e.size = s.stream->size();
      } else {
        e.type = kTypeStorage;
        e.storage = s.storage;
      }
      entries.push_back(e);
    }
    entries[parent].child = LinkSiblings(
        entries, first, static_cast<uint32_t>(siblings.size()));
  }
  return Status();
}

void SerializeEntry(const Entry& e, uint8_t* out) {
  for (size_t i = 0; i < e.name.size(); ++i) {
    Put16(out + 2 * i, static_cast<uint16_t>(e.name[i]));
  }
  Put16(out + 64, static_cast<uint16_t>((e.name.size() + 1) * 2));
  out[66] = e.type;
  out[67] = e.color;
  Put32(out + 68, e.left);
  Put32(out + 72, e.right);
  Put32(out + 76, e.child);
  if (e.storage) {
    std::memcpy(out + 80, e.storage->clsid.data(), e.storage->clsid.size());
    Put32(out + 96, e.storage->state_bits);
    Put64(out + 100, e.storage->created);
    Put64(out + 108, e.storage->modified);
  }
  Put32(out + 116, e.start);
  Put64(out + 120, e.size);
}

void SerializeUnusedEntry(uint8_t* out) {
  Put32(out + 68, kNoStream);
  Put32(out + 72, kNoStream);
  Put32(out + 76, kNoStream);
}

std::vector<uint8_t> ToBytes(const std::vector<uint32_t>& values) {
  std::vector<uint8_t> bytes(values.size() * 4);
  for (size_t i = 0; i < values.size(); ++i) Put32(&bytes[4 * i], values[i]);
  return bytes;
}

void MarkChain(std::vector<uint32_t>& table, uint64_t start, uint64_t count) {
  for (uint64_t i = 0; i < count; ++i) {
    table[start + i] =
        i + 1 < count ? static_cast<uint32_t>(start + i + 1) : kEndOfChain;
  }
}

Status WriteBytes(ByteSink& sink, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return Status();
  return sink.Write(bytes.data(), bytes.size());
}

}  // namespace

Status WriteCompoundFile(const StorageTree& root, const WriteOptions& options,
                         ByteSink& sink) {
  if (options.major_version != 3 && options.major_version != 4) {
    return Status::Error(kErrorInvalidParameter,
                         "compound file version must be 3 or 4");
  }
  const bool v4 = options.major_version == 4;
  const uint64_t sector_size = v4 ? 4096 : 512;
  const uint64_t slots_per_sector = sector_size / 4;

  std::vector<Entry> entries;
  MSI_RETURN_IF_ERROR(CollectEntries(root, entries));

  // Small streams go to the mini stream, each on its own run of mini
  // sectors; the rest get whole sectors, placed later.
  std::vector<uint32_t> mini_fat;
  uint64_t big_sectors = 0;
  for (Entry& e : entries) {
    if (e.type != kTypeStream) continue;
    if (!v4 && e.size > kMaxVersion3StreamSize) {
      return Status::Error(kErrorInvalidParameter,
                           "stream too large for a version 3 compound file");
    }
    if (e.size == 0) {
      e.start = kEndOfChain;
    } else if (e.size < kMiniStreamCutoff) {
      const uint64_t count = CeilDiv(e.size, kMiniSectorSize);
      if (mini_fat.size() + count > kMaxSectorCount) {
        return Status::Error(kErrorInvalidParameter,
                             "too many small streams for a compound file");
      }
      e.start = static_cast<uint32_t>(mini_fat.size());
      mini_fat.resize(mini_fat.size() + count);
      MarkChain(mini_fat, e.start, count);
    } else {
      big_sectors += CeilDiv(e.size, sector_size);
    }
  }
  const uint64_t mini_sectors = mini_fat.size();
  const uint64_t mini_stream_bytes = mini_sectors * kMiniSectorSize;
  if (!v4 && mini_stream_bytes > kMaxVersion3StreamSize) {
    return Status::Error(kErrorInvalidParameter,
                         "small streams too large together for a version 3 "
                         "compound file");
  }
  const uint64_t mini_fat_sectors = CeilDiv(mini_sectors * 4, sector_size);
  const uint64_t mini_stream_sectors = CeilDiv(mini_stream_bytes, sector_size);
  mini_fat.resize(mini_fat_sectors * slots_per_sector, kFreeSector);
  const uint64_t dir_sectors = CeilDiv(entries.size() * kEntrySize, sector_size);
  const uint64_t data_sectors =
      mini_fat_sectors + dir_sectors + mini_stream_sectors + big_sectors;

  // The FAT must describe every sector, its own and the DIFAT's included:
  // grow it until it does.
  auto difat_sectors_for = [&](uint64_t fat_sectors) -> uint64_t {
    return fat_sectors <= kHeaderDifatSlots
               ? 0
               : CeilDiv(fat_sectors - kHeaderDifatSlots, slots_per_sector - 1);
  };
  uint64_t fat_sectors = CeilDiv(data_sectors, slots_per_sector);
  while (fat_sectors * slots_per_sector <
         data_sectors + fat_sectors + difat_sectors_for(fat_sectors)) {
    ++fat_sectors;
  }
  const uint64_t difat_sectors = difat_sectors_for(fat_sectors);
  const uint64_t total_sectors = difat_sectors + fat_sectors + data_sectors;
  if (total_sectors > kMaxSectorCount) {
    return Status::Error(kErrorInvalidParameter,
                         "contents too large for a compound file");
  }

  // Sector order: DIFAT, FAT, mini FAT, directory, mini stream, then the
  // large streams in directory order.
  const uint64_t fat_start = difat_sectors;
  const uint64_t mini_fat_start = fat_start + fat_sectors;
  const uint64_t dir_start = mini_fat_start + mini_fat_sectors;
  const uint64_t mini_stream_start = dir_start + dir_sectors;
  uint64_t next_sector = mini_stream_start + mini_stream_sectors;

  std::vector<uint32_t> fat(fat_sectors * slots_per_sector, kFreeSector);
  for (uint64_t i = 0; i < difat_sectors; ++i) fat[i] = kDifatSector;
  for (uint64_t i = 0; i < fat_sectors; ++i) fat[fat_start + i] = kFatSector;
  MarkChain(fat, mini_fat_start, mini_fat_sectors);
  MarkChain(fat, dir_start, dir_sectors);
  MarkChain(fat, mini_stream_start, mini_stream_sectors);
  for (Entry& e : entries) {
    if (e.type != kTypeStream || e.size < kMiniStreamCutoff) continue;
    const uint64_t count = CeilDiv(e.size, sector_size);
    e.start = static_cast<uint32_t>(next_sector);
    MarkChain(fat, next_sector, count);
    next_sector += count;
  }
  entries[0].start = mini_stream_sectors
                         ? static_cast<uint32_t>(mini_stream_start)
                         : kEndOfChain;
  entries[0].size = mini_stream_bytes;

  // Header, padded to a whole sector in version 4.
  std::vector<uint8_t> header(sector_size, 0);
  static constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0,
                                            0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(header.data(), kSignature, sizeof kSignature);
  Put16(&header[24], 0x003E);
  Put16(&header[26], static_cast<uint16_t>(options.major_version));
  Put16(&header[28], 0xFFFE);
  Put16(&header[30], v4 ? 12 : 9);
  Put16(&header[32], 6);
  // Version 3 files leave the directory sector count at zero.
  Put32(&header[40], v4 ? static_cast<uint32_t>(dir_sectors) : 0);
  Put32(&header[44], static_cast<uint32_t>(fat_sectors));
  Put32(&header[48], static_cast<uint32_t>(dir_start));
  Put32(&header[56], static_cast<uint32_t>(kMiniStreamCutoff));
  Put32(&header[60], mini_fat_sectors ? static_cast<uint32_t>(mini_fat_start)
                                      : kEndOfChain);
  Put32(&header[64], static_cast<uint32_t>(mini_fat_sectors));
  Put32(&header[68], difat_sectors ? 0 : kEndOfChain);
  Put32(&header[72], static_cast<uint32_t>(difat_sectors));
  for (size_t i = 0; i < kHeaderDifatSlots; ++i) {
    Put32(&header[76 + 4 * i], i < fat_sectors
                                   ? static_cast<uint32_t>(fat_start + i)
                                   : kFreeSector);
  }

  // DIFAT sectors list the FAT sectors past the header's 109, the last slot
  // of each pointing at the next.
  std::vector<uint32_t> difat(difat_sectors * slots_per_sector, kFreeSector);
  for (uint64_t d = 0; d < difat_sectors; ++d) {
    for (uint64_t j = 0; j + 1 < slots_per_sector; ++j) {
      const uint64_t fat_index =
          kHeaderDifatSlots + d * (slots_per_sector - 1) + j;
      if (fat_index < fat_sectors) {
        difat[d * slots_per_sector + j] =
            static_cast<uint32_t>(fat_start + fat_index);
      }
    }
    difat[(d + 1) * slots_per_sector - 1] =
        d + 1 < difat_sectors ? static_cast<uint32_t>(d + 1) : kEndOfChain;
  }

  std::vector<uint8_t> directory(dir_sectors * sector_size, 0);
  for (size_t i = 0; i < directory.size() / kEntrySize; ++i) {
    uint8_t* out = &directory[i * kEntrySize];
    if (i < entries.size()) {
      SerializeEntry(entries[i], out);
    } else {
      SerializeUnusedEntry(out);
    }
  }

  std::vector<uint8_t> mini_stream(mini_stream_sectors * sector_size, 0);
  for (const Entry& e : entries) {
    if (e.type == kTypeStream && e.size > 0 && e.size < kMiniStreamCutoff) {
      uint8_t* out = &mini_stream[e.start * kMiniSectorSize];
      if (!e.stream->data.empty()) {
        std::memcpy(out, e.stream->data.data(), e.stream->data.size());
        out += e.stream->data.size();
      }
      for (const Bytes& piece : e.stream->more) {
        if (piece.empty()) continue;
        std::memcpy(out, piece.data(), piece.size());
        out += piece.size();
      }
    }
  }

  MSI_RETURN_IF_ERROR(WriteBytes(sink, header));
  MSI_RETURN_IF_ERROR(WriteBytes(sink, ToBytes(difat)));
  MSI_RETURN_IF_ERROR(WriteBytes(sink, ToBytes(fat)));
  MSI_RETURN_IF_ERROR(WriteBytes(sink, ToBytes(mini_fat)));
  MSI_RETURN_IF_ERROR(WriteBytes(sink, directory));
  MSI_RETURN_IF_ERROR(WriteBytes(sink, mini_stream));
  static constexpr uint8_t kZeros[4096] = {};
  for (const Entry& e : entries) {
    if (e.type != kTypeStream || e.size < kMiniStreamCutoff) continue;
    if (!e.stream->data.empty()) {
      MSI_RETURN_IF_ERROR(sink.Write(e.stream->data.data(), e.stream->data.size()));
    }
    for (const Bytes& piece : e.stream->more) {
      if (!piece.empty()) MSI_RETURN_IF_ERROR(sink.Write(piece.data(), piece.size()));
    }
    const uint64_t tail = e.size % sector_size;
    if (tail != 0) {
      MSI_RETURN_IF_ERROR(sink.Write(kZeros, sector_size - tail));
    }
  }
  return Status();
}

}  // namespace msi::cfb
