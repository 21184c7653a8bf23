#include "package_mutator.h"

#include <algorithm>
#include <cstring>

uint64_t SplitMix64::next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

namespace {

uint32_t read32(const Bytes& b, uint64_t at) {
  if (at + 4 > b.size()) return 0xFFFFFFFF;
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

void write32(Bytes& b, uint64_t at, uint32_t value) {
  for (int i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// Values that make chains loop, leave the file, or claim huge sizes.
constexpr uint32_t kNastyValues[] = {0x00000000, 0x00000001, 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD,
                                     0xFFFFFFFC, 0xFFFFFFFA, 0x7FFFFFFF, 0x80000000, 0x0000FFFF,
                                     0x00001000, 0x00100000};

enum Region { kHeader, kFat, kDirectory, kMiniFat, kAnywhere, kRegionCount };
const char* const kRegionNames[] = {"header", "FAT", "directory", "mini FAT", "data"};

}  // namespace

PackageMutator::PackageMutator(Bytes original) : original_(std::move(original)) {
  locate_structures();
}

// Finds the structures in the undamaged file by following its own chains,
// with bounds, so damage can be aimed at them.
void PackageMutator::locate_structures() {
  if (original_.size() < 512) return;
  unsigned shift = original_[30] | original_[31] << 8;
  if (shift != 9 && shift != 12) return;
  sector_size_ = 1u << shift;
  auto offset_of = [&](uint32_t sector) { return (uint64_t(sector) + 1) * sector_size_; };
  auto in_file = [&](uint32_t sector) {
    return sector < 0xFFFFFFFA && offset_of(sector) + sector_size_ <= original_.size();
  };
  uint32_t fat_count = read32(original_, 44);
  for (uint32_t i = 0; i < std::min<uint32_t>(fat_count, 109); ++i) {
    uint32_t sector = read32(original_, 76 + 4 * i);
    if (in_file(sector)) fat_sectors_.push_back(offset_of(sector));
  }
  auto fat_entry = [&](uint32_t sector) -> uint32_t {
    uint64_t per_sector = sector_size_ / 4;
    uint64_t index = sector / per_sector;
    if (index >= fat_sectors_.size()) return 0xFFFFFFFE;
    return read32(original_, fat_sectors_[index] + 4 * (sector % per_sector));
  };
  auto follow = [&](uint32_t sector, std::vector<uint64_t>& into) {
    for (int steps = 0; in_file(sector) && steps < 4096; ++steps) {
      into.push_back(offset_of(sector));
      sector = fat_entry(sector);
    }
  };
  follow(read32(original_, 48), directory_sectors_);
  follow(read32(original_, 60), mini_fat_sectors_);
}

uint64_t PackageMutator::pick_offset(SplitMix64& random, int region, std::string& where) const {
  const std::vector<uint64_t>* sectors = nullptr;
  if (region == kFat) sectors = &fat_sectors_;
  if (region == kDirectory) sectors = &directory_sectors_;
  if (region == kMiniFat) sectors = &mini_fat_sectors_;
  if (region == kHeader || (sectors != nullptr && sectors->empty())) {
    where = "header";
    return random.below(std::min<uint64_t>(512, original_.size()));
  }
  if (sectors == nullptr) {
    where = "data";
    return random.below(original_.size());
  }
  where = kRegionNames[region];
  return (*sectors)[random.below(sectors->size())] + random.below(sector_size_);
}

Bytes PackageMutator::mutate(uint64_t seed, std::string& description) const {
  SplitMix64 random(seed);
  Bytes bytes = original_;
  if (bytes.empty()) {
    description = "empty file";
    return bytes;
  }
  std::string where;
  switch (random.below(6)) {
    case 0: {  // a few random bytes changed in one region
      int region = static_cast<int>(random.below(kRegionCount));
      int count = 1 + static_cast<int>(random.below(8));
      for (int i = 0; i < count; ++i) {
        uint64_t at = pick_offset(random, region, where);
        bytes[at] = static_cast<unsigned char>(random.next());
      }
      description = std::to_string(count) + " random bytes in the " + where;
      break;
    }
    case 1: {  // one 32-bit field set to a value that breaks chains and sizes
      int region = static_cast<int>(random.below(kRegionCount - 1));
      uint64_t at = pick_offset(random, region, where) & ~uint64_t(3);
      uint32_t value = kNastyValues[random.below(std::size(kNastyValues))];
      if (random.below(3) == 0) value = static_cast<uint32_t>(random.below(bytes.size() / sector_size_ + 4));
      write32(bytes, at, value);
      description = "32-bit value " + std::to_string(value) + " at " + std::to_string(at) + " in the " + where;
      break;
    }
    case 2: {  // truncated
      uint64_t length = random.below(bytes.size());
      bytes.resize(length);
      description = "truncated to " + std::to_string(length) + " bytes";
      break;
    }
    case 3: {  // one sector zeroed
      int region = static_cast<int>(random.below(kRegionCount));
      uint64_t at = pick_offset(random, region, where) / sector_size_ * sector_size_;
      uint64_t end = std::min<uint64_t>(bytes.size(), at + sector_size_);
      std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                bytes.begin() + static_cast<std::ptrdiff_t>(end), 0);
      description = "sector at " + std::to_string(at) + " zeroed (" + where + ")";
      break;
    }
    case 4: {  // a run of random bytes anywhere
      uint64_t at = random.below(bytes.size());
      uint64_t length = 1 + random.below(256);
      for (uint64_t i = at; i < std::min<uint64_t>(bytes.size(), at + length); ++i)
        bytes[i] = static_cast<unsigned char>(random.next());
      description = std::to_string(length) + " random bytes at " + std::to_string(at);
      break;
    }
    default: {  // scattered single-bit flips across the file
      int count = 1 + static_cast<int>(random.below(32));
      for (int i = 0; i < count; ++i) {
        uint64_t at = random.below(bytes.size());
        bytes[at] ^= static_cast<unsigned char>(1u << random.below(8));
      }
      description = std::to_string(count) + " bit flips";
      break;
    }
  }
  return bytes;
}
