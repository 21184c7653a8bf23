// Deterministic damage to a package's bytes, aimed at the compound file's
// structures: header, FAT, directory, mini FAT, data sectors, and the end of
// the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A small, portable generator: the same seed gives the same damage on every
// platform and library (std:: distributions do not promise that).
class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}
  uint64_t next();
  // Uniform enough in [0, bound); bound 0 gives 0.
  uint64_t below(uint64_t bound) { return bound == 0 ? 0 : next() % bound; }

 private:
  uint64_t state_;
};

class PackageMutator {
 public:
  explicit PackageMutator(Bytes original);

  // The damaged copy for one case, and a one-line account of the damage.
  Bytes mutate(uint64_t seed, std::string& description) const;

 private:
  Bytes original_;
  unsigned sector_size_ = 512;
  std::vector<uint64_t> fat_sectors_;        // file offsets of FAT sectors
  std::vector<uint64_t> directory_sectors_;  // file offsets of directory sectors
  std::vector<uint64_t> mini_fat_sectors_;   // file offsets of mini FAT sectors

  void locate_structures();
  uint64_t pick_offset(SplitMix64& random, int region, std::string& where) const;
};
