// The reader against damaged files: every fault must become an error
// code, never a crash, a hang or a read outside the file.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "cfb/compound_file.h"
#include "cfb/compound_file_reader.h"

namespace msi::cfb {
namespace {

class MemorySink : public ByteSink {
 public:
  Status Write(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return Status();
  }
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Fill(size_t size, uint8_t seed) {
  std::vector<uint8_t> v(size);
  for (size_t i = 0; i < size; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}
Bytes Shared(std::vector<uint8_t> v) { return std::make_shared<const std::vector<uint8_t>>(std::move(v)); }

// A file with a small stream (mini stream), a large one and a storage.
std::vector<uint8_t> SampleFile(unsigned version = 3) {
  StorageTree root;
  root.streams.push_back({u"small", Shared(Fill(100, 1))});
  root.streams.push_back({u"large", Shared(Fill(9000, 2))});
  StorageTree sub;
  sub.name = u"sub";
  sub.streams.push_back({u"inner", Shared(Fill(10, 3))});
  root.storages.push_back(sub);
  MemorySink sink;
  WriteOptions options;
  options.major_version = version;
  EXPECT_TRUE(WriteCompoundFile(root, options, sink).ok());
  return sink.bytes;
}

uint32_t Get32(const std::vector<uint8_t>& f, size_t at) {
  return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (static_cast<uint32_t>(f[at + 3]) << 24);
}
void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Result<std::shared_ptr<const CompoundFileReader>> OpenBytes(std::vector<uint8_t> bytes) {
  return CompoundFileReader::Open(FileImage::FromBytes(std::move(bytes)));
}

// Byte offset of directory entry `index` (the directory fits one sector
// in these samples).
size_t EntryOffset(const std::vector<uint8_t>& f, uint32_t index) {
  const uint32_t dir = Get32(f, 0x30);
  return (dir + 1) * 512 + 128 * index;
}

uint32_t FindEntry(const std::vector<uint8_t>& f, const std::u16string& name) {
  for (uint32_t i = 0; i < 4; ++i) {
    const size_t at = EntryOffset(f, i);
    std::u16string n;
    for (size_t k = 0; k + 1 < f[at + 0x40] / 2u; ++k) n.push_back(static_cast<char16_t>(f[at + 2 * k] | (f[at + 2 * k + 1] << 8)));
    if (n == name) return i;
  }
  ADD_FAILURE() << "no entry";
  return 0;
}

// Reads every stream under every storage, copied and shared, which must
// agree; returns the first error code.
uint32_t ReadAll(const CompoundFileReader& r) {
  uint32_t first = 0;
  std::vector<uint32_t> pending{CompoundFileReader::kRootId};
  while (!pending.empty()) {
    const uint32_t s = pending.back();
    pending.pop_back();
    for (uint32_t id : r.Children(s)) {
      if (r.entry(id).type == EntryType::kStorage) {
        pending.push_back(id);
      } else {
        auto bytes = r.ReadStream(id);
        auto shared = r.ShareStream(id);
        EXPECT_EQ(bytes.ok(), shared.ok());
        if (bytes.ok() && shared.ok()) {
          EXPECT_EQ(*bytes, std::vector<uint8_t>(shared->begin(), shared->end()));
        }
        if (!bytes.ok() && first == 0) first = bytes.status().code();
      }
    }
  }
  return first;
}

TEST(CompoundFileReader, ReadsWhatTheWriterWrote) {
  for (unsigned version : {3u, 4u}) {
    auto r = OpenBytes(SampleFile(version));
    ASSERT_TRUE(r.ok()) << r.status().message();
    EXPECT_EQ((*r)->major_version(), version);
    auto small = (*r)->FindChild(CompoundFileReader::kRootId, u"small");
    auto large = (*r)->FindChild(CompoundFileReader::kRootId, u"large");
    auto sub = (*r)->FindChild(CompoundFileReader::kRootId, u"sub");
    ASSERT_TRUE(small && large && sub);
    EXPECT_EQ(*(*r)->ReadStream(*small), Fill(100, 1));
    EXPECT_EQ(*(*r)->ReadStream(*large), Fill(9000, 2));
    auto inner = (*r)->FindChild(*sub, u"inner");
    ASSERT_TRUE(inner);
    EXPECT_EQ(*(*r)->ReadStream(*inner), Fill(10, 3));
    EXPECT_EQ(ReadAll(**r), 0u);
  }
}

TEST(CompoundFileReader, StreamsOutOfOrderReadWhole) {
  // The large stream's first two sectors swapped in the file and its chain
  // relinked to match: a valid file whose stream cannot be shared as one
  // range of the file.
  auto f = SampleFile();
  const size_t large = EntryOffset(f, FindEntry(f, u"large"));
  const uint32_t start = Get32(f, large + 0x74);
  const size_t fat = (Get32(f, 0x4C) + 1) * 512;
  std::swap_ranges(f.begin() + (start + 1) * 512, f.begin() + (start + 2) * 512, f.begin() + (start + 2) * 512);
  Put32(f, large + 0x74, start + 1);
  Put32(f, fat + 4 * (start + 1), start);
  Put32(f, fat + 4 * start, start + 2);
  auto r = OpenBytes(f);
  ASSERT_TRUE(r.ok()) << r.status().message();
  auto id = (*r)->FindChild(CompoundFileReader::kRootId, u"large");
  ASSERT_TRUE(id);
  auto shared = (*r)->ShareStream(*id);
  ASSERT_TRUE(shared.ok());
  EXPECT_EQ(std::vector<uint8_t>(shared->begin(), shared->end()), Fill(9000, 2));
  EXPECT_EQ(ReadAll(**r), 0u);
}

TEST(CompoundFileReader, ForeignFilesAreNotPackages) {
  EXPECT_EQ(OpenBytes({}).status().code(), 1620u);
  EXPECT_EQ(OpenBytes(std::vector<uint8_t>(100, 0xD0)).status().code(), 1620u);
  auto f = SampleFile();
  f[0] = 'P';
  EXPECT_EQ(OpenBytes(f).status().code(), 1620u);
}

TEST(CompoundFileReader, DamagedHeaderFieldsAreInvalidData) {
  const auto good = SampleFile();
  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
    int width;
  } cases[] = {
      {"byte order", 0x1C, 0xFFFF, 2},
      {"version", 0x1A, 7, 2},
      {"sector shift", 0x1E, 10, 2},
      {"mini sector shift", 0x20, 7, 2},
      {"FAT sector count beyond the file", 0x2C, 0x00FFFFFF, 4},
      {"directory outside the file", 0x30, 5000, 4},
      {"FAT sector outside the file", 0x4C, 4000, 4},
      {"mini stream cutoff", 0x38, 100, 4},
  };
  for (const Case& c : cases) {
    auto f = good;
    if (c.width == 2) {
      f[c.at] = static_cast<uint8_t>(c.value);
      f[c.at + 1] = static_cast<uint8_t>(c.value >> 8);
    } else {
      Put32(f, c.at, c.value);
    }
    auto r = OpenBytes(f);
    ASSERT_FALSE(r.ok()) << c.what;
    EXPECT_EQ(r.status().code(), 13u) << c.what;
  }
}

TEST(CompoundFileReader, LoopingChainsFailWithoutHanging) {
  auto f = SampleFile();
  // The directory's chain points back at itself.
  const uint32_t dir = Get32(f, 0x30);
  const uint32_t fat0 = Get32(f, 0x4C);
  Put32(f, (fat0 + 1) * 512 + 4 * dir, dir);
  EXPECT_EQ(OpenBytes(f).status().code(), 13u);

  // A large stream's chain loops: opening works, reading fails.
  f = SampleFile();
  const size_t large = EntryOffset(f, FindEntry(f, u"large"));
  const uint32_t start = Get32(f, large + 0x74);
  Put32(f, (Get32(f, 0x4C) + 1) * 512 + 4 * start, start);
  auto r = OpenBytes(f);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(ReadAll(**r), 13u);
}

TEST(CompoundFileReader, DirectoryCyclesAndBadLinksAreInvalidData) {
  auto f = SampleFile();
  const uint32_t small = FindEntry(f, u"small");
  // An entry that is its own left sibling.
  Put32(f, EntryOffset(f, small) + 0x44, small);
  EXPECT_EQ(OpenBytes(f).status().code(), 13u);

  f = SampleFile();
  Put32(f, EntryOffset(f, small) + 0x48, 77);  // right sibling beyond the directory
  EXPECT_EQ(OpenBytes(f).status().code(), 13u);

  f = SampleFile();
  Put32(f, EntryOffset(f, 0) + 0x4C, 0);  // the root as its own child
  EXPECT_EQ(OpenBytes(f).status().code(), 13u);

  f = SampleFile();
  f[EntryOffset(f, small) + 0x42] = 9;  // no such entry type
  EXPECT_EQ(OpenBytes(f).status().code(), 13u);
}

TEST(CompoundFileReader, SizesBeyondTheFileFailOnRead) {
  auto f = SampleFile();
  const size_t large = EntryOffset(f, FindEntry(f, u"large"));
  Put32(f, large + 0x78, 0x7FFFFFFF);
  auto r = OpenBytes(f);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(ReadAll(**r), 13u);
}

TEST(CompoundFileReader, TruncatedFilesGiveErrorsNotCrashes) {
  const auto good = SampleFile();
  for (size_t len = 0; len < good.size(); len += 97) {
    std::vector<uint8_t> f(good.begin(), good.begin() + static_cast<long>(len));
    auto r = OpenBytes(f);
    if (r.ok()) {
      const uint32_t code = ReadAll(**r);
      EXPECT_TRUE(code == 0 || code == 13) << "length " << len;
    } else {
      EXPECT_TRUE(r.status().code() == 13 || r.status().code() == 1620) << "length " << len;
    }
  }
}

TEST(CompoundFileReader, RandomDamageNeverEscapesAsAnythingButACode) {
  const auto good = SampleFile();
  std::mt19937 rng(1234);
  for (int i = 0; i < 2000; ++i) {
    auto f = good;
    const int changes = 1 + static_cast<int>(rng() % 8);
    for (int k = 0; k < changes; ++k) {
      // Aim most changes at the header and the FAT and directory sectors.
      const size_t span = rng() % 4 == 0 ? f.size() : std::min<size_t>(f.size(), 2048);
      f[rng() % span] = static_cast<uint8_t>(rng());
    }
    auto r = OpenBytes(f);
    if (!r.ok()) {
      EXPECT_TRUE(r.status().code() == 13 || r.status().code() == 1620);
      continue;
    }
    const uint32_t code = ReadAll(**r);
    EXPECT_TRUE(code == 0 || code == 13) << "case " << i;
  }
}

}  // namespace
}  // namespace msi::cfb
