#include "cfb_test_reader.h"

#include <locale.h>
#include <wctype.h>

#include <cstdio>
#include <cstring>

namespace cfbtest {
namespace {

constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr uint32_t kFat = 0xFFFFFFFD;
constexpr uint32_t kDifat = 0xFFFFFFFC;
constexpr uint32_t kNone = 0xFFFFFFFF;

enum class Use : uint8_t { kUnused, kDifat, kFat, kChain };

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
uint64_t Get64(const uint8_t* p) {
  return static_cast<uint64_t>(Get32(p)) | static_cast<uint64_t>(Get32(p + 4)) << 32;
}
std::string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
  return buf;
}

struct DirEntry {
  std::u16string name;
  uint8_t type = 0;
  uint8_t color = 0;
  uint32_t left = 0, right = 0, child = 0;
  std::array<uint8_t, 16> clsid{};
  uint32_t state = 0;
  uint64_t created = 0, modified = 0;
  uint32_t start = 0;
  uint64_t size = 0;
  const uint8_t* raw = nullptr;
};

class Parser {
 public:
  Parser(const std::vector<uint8_t>& file, ParsedFile& out) : file_(file), out_(out) {}

  std::string Run() {
    const bool sound = ParseHeader() && ReadDifatAndFat() && ReadDirectory() && ReadMiniStream() && WalkTree() &&
                       CheckLeftovers();
    return sound ? "" : error_;
  }

 private:
  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }
  const uint8_t* Sector(uint32_t n) const {
    return file_.data() + (static_cast<size_t>(n) + 1) * sector_size_;
  }
  bool Claim(uint32_t sector, Use use, const std::string& what) {
    if (sector >= out_.sector_count) return Fail(what + ": sector " + Hex(sector) + " past the end");
    if (use_[sector] != Use::kUnused)
      return Fail(what + ": sector " + std::to_string(sector) + " used twice");
    use_[sector] = use;
    return true;
  }

  bool ParseHeader() {
    if (file_.size() < 512) return Fail("shorter than a header");
    const uint8_t* h = file_.data();
    static const uint8_t kSig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (std::memcmp(h, kSig, 8) != 0) return Fail("bad signature");
    for (int i = 8; i < 24; ++i)
      if (h[i] != 0) return Fail("header CLSID not zero");
    if (Get16(h + 24) != 0x3E) return Fail("minor version not 0x3E");
    const unsigned major = Get16(h + 26);
    if (major != 3 && major != 4) return Fail("major version not 3 or 4");
    out_.major_version = major;
    if (Get16(h + 28) != 0xFFFE) return Fail("byte order mark wrong");
    const unsigned shift = Get16(h + 30);
    if (shift != (major == 3 ? 9u : 12u)) return Fail("sector shift wrong");
    if (Get16(h + 32) != 6) return Fail("mini sector shift not 6");
    for (int i = 34; i < 40; ++i)
      if (h[i] != 0) return Fail("reserved header bytes not zero");
    if (major == 3 && Get32(h + 40) != 0) return Fail("version 3 header counts directory sectors");
    if (Get32(h + 52) != 0) return Fail("transaction signature set");
    if (Get32(h + 56) != 4096) return Fail("mini stream cutoff not 4096");
    sector_size_ = size_t{1} << shift;
    if (file_.size() % sector_size_ != 0) return Fail("file size not a whole number of sectors");
    if (file_.size() < 2 * sector_size_) return Fail("no sectors after header");
    for (size_t i = 512; i < sector_size_; ++i)
      if (h[i] != 0) return Fail("header padding not zero");
    out_.sector_count = static_cast<uint32_t>(file_.size() / sector_size_ - 1);
    use_.assign(out_.sector_count, Use::kUnused);
    return true;
  }

  bool ReadDifatAndFat() {
    const uint8_t* h = file_.data();
    const uint32_t fat_count = Get32(h + 44);
    uint32_t difat_first = Get32(h + 68);
    const uint32_t difat_count = Get32(h + 72);
    out_.fat_sectors = fat_count;
    out_.difat_sectors = difat_count;
    const size_t slots = sector_size_ / 4;

    std::vector<uint32_t> fat_sectors;
    for (uint32_t i = 0; i < 109; ++i) {
      const uint32_t v = Get32(h + 76 + 4 * i);
      if (i < fat_count)
        fat_sectors.push_back(v);
      else if (v != kFree)
        return Fail("unused header DIFAT slot " + std::to_string(i) + " not free");
    }
    if (fat_count <= 109 && difat_count != 0) return Fail("DIFAT sectors without need");
    if (difat_count == 0 && difat_first != kEnd)
      return Fail("no DIFAT but first DIFAT sector not end of chain");
    std::vector<uint32_t> difat_sectors;
    uint32_t next = difat_first;
    for (uint32_t d = 0; d < difat_count; ++d) {
      if (!Claim(next, Use::kDifat, "DIFAT")) return false;
      difat_sectors.push_back(next);
      const uint8_t* s = Sector(next);
      for (size_t j = 0; j + 1 < slots; ++j) {
        const uint32_t v = Get32(s + 4 * j);
        if (fat_sectors.size() < fat_count)
          fat_sectors.push_back(v);
        else if (v != kFree)
          return Fail("unused DIFAT slot not free");
      }
      next = Get32(s + 4 * (slots - 1));
    }
    if (next != kEnd) return Fail("DIFAT chain does not end");
    if (fat_sectors.size() != fat_count) return Fail("DIFAT lists fewer FAT sectors than the header counts");
    if (static_cast<uint64_t>(fat_count) * slots < out_.sector_count)
      return Fail("FAT too small for the file");
    if (fat_count > 0 && static_cast<uint64_t>(fat_count - 1) * slots >= out_.sector_count)
      return Fail("FAT has a sector describing nothing but free space");
    for (uint32_t s : fat_sectors) {
      if (!Claim(s, Use::kFat, "FAT")) return false;
      const uint8_t* p = Sector(s);
      for (size_t j = 0; j < slots; ++j) fat_.push_back(Get32(p + 4 * j));
    }
    for (size_t i = out_.sector_count; i < fat_.size(); ++i)
      if (fat_[i] != kFree) return Fail("FAT entry past the file not free");
    for (uint32_t s : fat_sectors)
      if (fat_[s] != kFat) return Fail("FAT sector not marked 0xFFFFFFFD");
    for (uint32_t s : difat_sectors)
      if (fat_[s] != kDifat) return Fail("DIFAT sector not marked 0xFFFFFFFC");
    for (size_t i = 0; i < out_.sector_count; ++i) {
      if (fat_[i] == kFat && use_[i] != Use::kFat) return Fail("sector marked as FAT is not one");
      if (fat_[i] == kDifat && use_[i] != Use::kDifat) return Fail("sector marked as DIFAT is not one");
      if (fat_[i] > 0xFFFFFFFA && fat_[i] < kDifat) return Fail("reserved FAT value used");
    }
    return true;
  }

  // Follows a FAT chain, claiming each sector once.
  bool Chain(uint32_t start, const std::string& what, std::vector<uint32_t>& sectors) {
    sectors.clear();
    uint32_t s = start;
    while (s != kEnd) {
      if (!Claim(s, Use::kChain, what)) return false;
      sectors.push_back(s);
      s = fat_[s];
      if (s > 0xFFFFFFFA && s != kEnd) return Fail(what + ": chain runs into a special value " + Hex(s));
    }
    return true;
  }

  bool ReadDirectory() {
    std::vector<uint32_t> sectors;
    if (!Chain(Get32(file_.data() + 48), "directory", sectors)) return false;
    if (sectors.empty()) return Fail("no directory");
    out_.directory_sectors = static_cast<uint32_t>(sectors.size());
    if (out_.major_version == 4 && Get32(file_.data() + 40) != sectors.size())
      return Fail("header directory sector count wrong");
    for (uint32_t s : sectors) {
      for (size_t off = 0; off < sector_size_; off += 128) {
        const uint8_t* p = Sector(s) + off;
        DirEntry e;
        e.raw = p;
        const uint16_t name_bytes = Get16(p + 64);
        e.type = p[66];
        e.color = p[67];
        e.left = Get32(p + 68);
        e.right = Get32(p + 72);
        e.child = Get32(p + 76);
        std::memcpy(e.clsid.data(), p + 80, 16);
        e.state = Get32(p + 96);
        e.created = Get64(p + 100);
        e.modified = Get64(p + 108);
        e.start = Get32(p + 116);
        e.size = Get64(p + 120);
        if (e.type != 0) {
          if (name_bytes < 4 || name_bytes > 64 || name_bytes % 2 != 0)
            return Fail("entry name length " + std::to_string(name_bytes) + " invalid");
          const size_t units = name_bytes / 2 - 1;
          for (size_t i = 0; i < units; ++i) {
            const char16_t u = Get16(p + 2 * i);
            if (u == 0 || u == u'/' || u == u'\\' || u == u':' || u == u'!')
              return Fail("entry name holds a forbidden unit");
            e.name.push_back(u);
          }
          for (size_t i = 2 * units; i < 64; ++i)
            if (p[i] != 0) return Fail("entry name not NUL-padded");
        }
        dir_.push_back(e);
      }
    }
    return true;
  }

  bool ReadMiniStream() {
    const uint8_t* h = file_.data();
    const uint32_t first = Get32(h + 60);
    const uint32_t count = Get32(h + 64);
    out_.mini_fat_sectors = count;
    std::vector<uint32_t> sectors;
    if (!Chain(first, "mini FAT", sectors)) return false;
    if (sectors.size() != count) return Fail("mini FAT sector count wrong");
    for (uint32_t s : sectors)
      for (size_t j = 0; j < sector_size_ / 4; ++j) mini_fat_.push_back(Get32(Sector(s) + 4 * j));
    const DirEntry& root = dir_[0];
    if (root.type != 5) return Fail("entry 0 is not the root");
    if (root.name != u"Root Entry") return Fail("root not named Root Entry");
    if (root.left != kNone || root.right != kNone) return Fail("root has siblings");
    if (out_.major_version == 3 && (root.size >> 32) != 0) return Fail("version 3 root size above 32 bits");
    if (!Chain(root.start, "mini stream", sectors)) return false;
    if (sectors.size() != (root.size + sector_size_ - 1) / sector_size_)
      return Fail("mini stream chain length does not match its size");
    if (root.size % 64 != 0) return Fail("mini stream not whole mini sectors");
    out_.mini_stream_size = root.size;
    for (uint32_t s : sectors) mini_stream_.insert(mini_stream_.end(), Sector(s), Sector(s) + sector_size_);
    // Padding past the declared size must be zero, like every other gap.
    for (size_t i = root.size; i < mini_stream_.size(); ++i)
      if (mini_stream_[i] != 0) return Fail("mini stream padding not zero");
    mini_stream_.resize(root.size);
    const size_t mini_sectors = root.size / 64;
    if (mini_fat_.size() < mini_sectors) return Fail("mini FAT too small for the mini stream");
    if (!mini_fat_.empty() && (mini_fat_.size() - sector_size_ / 4) >= mini_sectors)
      return Fail("mini FAT has a sector describing nothing");
    mini_use_.assign(mini_sectors, false);
    return true;
  }

  bool ReadStream(const DirEntry& e, std::vector<uint8_t>& data) {
    if (out_.major_version == 3 && (e.size >> 32) != 0) return Fail("version 3 stream size above 32 bits");
    data.clear();
    if (e.size == 0) {
      if (e.start != kEnd) return Fail("empty stream with a start sector");
      return true;
    }
    if (e.size < 4096) {
      uint32_t s = e.start;
      while (s != kEnd) {
        if (s >= mini_use_.size()) return Fail("mini chain past mini stream");
        if (mini_use_[s]) return Fail("mini sector used twice");
        mini_use_[s] = true;
        data.insert(data.end(), mini_stream_.begin() + s * 64, mini_stream_.begin() + (s + 1) * 64);
        s = mini_fat_[s];
      }
      if (data.size() != (e.size + 63) / 64 * 64) return Fail("mini chain length does not match stream size");
    } else {
      std::vector<uint32_t> sectors;
      if (!Chain(e.start, "stream", sectors)) return false;
      if (sectors.size() != (e.size + sector_size_ - 1) / sector_size_)
        return Fail("chain length does not match stream size");
      for (uint32_t s : sectors) data.insert(data.end(), Sector(s), Sector(s) + sector_size_);
    }
    for (size_t i = e.size; i < data.size(); ++i)
      if (data[i] != 0) return Fail("stream padding not zero");
    data.resize(e.size);
    return true;
  }

  // Checks one sibling tree and returns its members in order; -1 black
  // height on failure.
  int CheckTree(uint32_t node, bool parent_red, std::vector<uint32_t>& in_order) {
    if (node == kNone) return 0;
    if (node >= dir_.size()) return Fail("sibling link past directory"), -1;
    if (visited_[node]) return Fail("entry reached twice"), -1;
    visited_[node] = true;
    const DirEntry& e = dir_[node];
    if (e.type != 1 && e.type != 2) return Fail("tree holds a non-entry"), -1;
    if (e.color > 1) return Fail("colour neither red nor black"), -1;
    const bool red = e.color == 0;
    if (red && parent_red) return Fail("two red entries in a row"), -1;
    const int left = CheckTree(e.left, red, in_order);
    if (left < 0) return -1;
    in_order.push_back(node);
    const int right = CheckTree(e.right, red, in_order);
    if (right < 0) return -1;
    if (left != right) return Fail("black heights differ"), -1;
    return left + (red ? 0 : 1);
  }

  bool FillStorage(uint32_t index, Storage& out, int depth) {
    if (depth > 64) return Fail("storages nested too deep for this test");
    const DirEntry& e = dir_[index];
    out.name = index == 0 ? u"" : e.name;
    out.clsid = e.clsid;
    out.state_bits = e.state;
    out.created = e.created;
    out.modified = e.modified;
    if (index != 0 && (e.start != 0 || e.size != 0)) return Fail("storage with a start sector or size");
    if (e.child != kNone && dir_[e.child].color != 1) return Fail("top of a sibling tree is red");
    std::vector<uint32_t> members;
    if (CheckTree(e.child, false, members) < 0) return false;
    for (size_t i = 1; i < members.size(); ++i)
      if (ReferenceCompareNames(dir_[members[i - 1]].name, dir_[members[i]].name) >= 0)
        return Fail("siblings out of order or duplicate");
    for (uint32_t m : members) {
      const DirEntry& c = dir_[m];
      if (c.type == 2) {
        if (c.child != kNone) return Fail("stream with a child");
        static const std::array<uint8_t, 16> kZero{};
        if (c.clsid != kZero || c.state != 0 || c.created != 0 || c.modified != 0)
          return Fail("stream with CLSID, state or times");
        Stream s;
        s.name = c.name;
        if (!ReadStream(c, s.data)) return false;
        out.streams.push_back(std::move(s));
      } else {
        Storage sub;
        if (!FillStorage(m, sub, depth + 1)) return false;
        out.storages.push_back(std::move(sub));
      }
    }
    return true;
  }

  bool WalkTree() {
    visited_.assign(dir_.size(), false);
    visited_[0] = true;
    if (!FillStorage(0, out_.root, 0)) return false;
    uint32_t used = 0;
    for (size_t i = 0; i < dir_.size(); ++i) {
      if (visited_[i]) {
        ++used;
        continue;
      }
      const uint8_t* p = dir_[i].raw;
      for (size_t b = 0; b < 128; ++b) {
        const bool link = b >= 68 && b < 80;
        if (p[b] != (link ? 0xFF : 0))
          return Fail("unused directory entry " + std::to_string(i) + " not blank");
      }
    }
    out_.used_entries = used;
    // Only the last directory sector may hold blank entries.
    if ((out_.directory_sectors - 1) * (sector_size_ / 128) >= used)
      return Fail("whole directory sector of blank entries");
    return true;
  }

  bool CheckLeftovers() {
    for (size_t i = 0; i < use_.size(); ++i) {
      if (use_[i] == Use::kUnused) {
        if (fat_[i] != kFree) return Fail("sector " + std::to_string(i) + " not reachable yet not free");
        return Fail("free sector " + std::to_string(i) + " inside the file");
      }
    }
    for (size_t i = 0; i < mini_fat_.size(); ++i) {
      const bool used = i < mini_use_.size() && mini_use_[i];
      if (!used && mini_fat_[i] != kFree)
        return Fail("mini FAT entry " + std::to_string(i) + " neither used nor free");
      if (i < mini_use_.size() && !used) return Fail("mini sector " + std::to_string(i) + " left unused");
    }
    return true;
  }

  const std::vector<uint8_t>& file_;
  ParsedFile& out_;
  std::string error_;
  size_t sector_size_ = 512;
  std::vector<Use> use_;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> mini_fat_;
  std::vector<uint8_t> mini_stream_;
  std::vector<bool> mini_use_;
  std::vector<DirEntry> dir_;
  std::vector<bool> visited_;
};

}  // namespace

std::string ParseStrict(const std::vector<uint8_t>& file, ParsedFile& out) {
  out = ParsedFile();
  return Parser(file, out).Run();
}

char16_t ReferenceUpperCase(char16_t unit) {
  static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (unit >= 0xD800 && unit <= 0xDFFF) return unit;
  if (utf8 == nullptr) return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit;
  const wint_t up = towupper_l(static_cast<wint_t>(unit), utf8);
  return up <= 0xFFFF ? static_cast<char16_t>(up) : unit;
}

int ReferenceCompareNames(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    const char16_t x = ReferenceUpperCase(a[i]);
    const char16_t y = ReferenceUpperCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

}  // namespace cfbtest
