#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "cfb/compound_file.h"
#include "cfb/compound_file_reader.h"
#include "cfb/file_image.h"
#include "cfb/compound_file_writer_names.h"
#include "cfb_test_reader.h"
#include "support.h"

namespace msi::cfb {
namespace {

// {000C1084-0000-0000-C000-000000000046}, as stored.
constexpr Clsid kPackageClsid = {0x84, 0x10, 0x0C, 0x00, 0x00, 0x00,
                                 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00,
                                 0x00, 0x00, 0x00, 0x46};

class MemorySink : public ByteSink {
 public:
  Status Write(const uint8_t* data, size_t size) override {
    ++writes;
    bytes.insert(bytes.end(), data, data + size);
    return Status();
  }
  std::vector<uint8_t> bytes;
  int writes = 0;
};

// Accepts writes until the `fail_at`-th (1-based), which it refuses.
class FailingSink : public ByteSink {
 public:
  explicit FailingSink(int fail_at) : fail_at_(fail_at) {}
  Status Write(const uint8_t*, size_t) override {
    if (++writes == fail_at_) return Status::Error(112, "disk full on cue");
    return Status();
  }
  int writes = 0;

 private:
  int fail_at_;
};

Bytes Pattern(size_t size, uint32_t seed) {
  auto data = std::make_shared<std::vector<uint8_t>>(size);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : *data) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return std::shared_ptr<const std::vector<uint8_t>>(data);
}

StreamEntry Stream(std::u16string name, size_t size, uint32_t seed = 1) {
  return StreamEntry{std::move(name), Pattern(size, seed)};
}

std::u16string Suffixed(std::u16string prefix, char16_t unit) {
  prefix.push_back(unit);
  return prefix;
}

std::vector<uint8_t> WriteOk(const StorageTree& root, unsigned version = 3) {
  MemorySink sink;
  const Status status = WriteCompoundFile(root, WriteOptions{version}, sink);
  EXPECT_TRUE(status.ok()) << status.message();
  return sink.bytes;
}

cfbtest::ParsedFile ParseOk(const std::vector<uint8_t>& bytes) {
  cfbtest::ParsedFile parsed;
  const std::string error = cfbtest::ParseStrict(bytes, parsed);
  EXPECT_EQ(error, "");
  return parsed;
}

// Compares what was written with what the strict reader found, children
// taken in the format's sibling order.
void ExpectSameTree(const StorageTree& wanted, const cfbtest::Storage& read,
                    bool is_root) {
  if (!is_root) {
    EXPECT_EQ(wanted.name, read.name);
  }
  EXPECT_EQ(wanted.clsid, read.clsid);
  EXPECT_EQ(wanted.state_bits, read.state_bits);
  EXPECT_EQ(wanted.created, read.created);
  EXPECT_EQ(wanted.modified, read.modified);

  std::vector<const StreamEntry*> streams;
  for (const auto& s : wanted.streams) streams.push_back(&s);
  std::sort(streams.begin(), streams.end(), [](auto* a, auto* b) {
    return cfbtest::ReferenceCompareNames(a->name, b->name) < 0;
  });
  ASSERT_EQ(streams.size(), read.streams.size());
  for (size_t i = 0; i < streams.size(); ++i) {
    EXPECT_EQ(streams[i]->name, read.streams[i].name);
    EXPECT_TRUE(std::vector<uint8_t>(streams[i]->data.begin(), streams[i]->data.end()) == read.streams[i].data)
        << "stream " << i << " differs";
  }

  std::vector<const StorageTree*> storages;
  for (const auto& s : wanted.storages) storages.push_back(&s);
  std::sort(storages.begin(), storages.end(), [](auto* a, auto* b) {
    return cfbtest::ReferenceCompareNames(a->name, b->name) < 0;
  });
  ASSERT_EQ(storages.size(), read.storages.size());
  for (size_t i = 0; i < storages.size(); ++i) {
    ExpectSameTree(*storages[i], read.storages[i], false);
  }
}

// The same comparison through the engine's own reader.
void ExpectEngineReads(const StorageTree& wanted, const CompoundFileReader& file,
                       uint32_t id) {
  const DirectoryEntry& entry = file.entry(id);
  if (id != CompoundFileReader::kRootId) {
    EXPECT_EQ(entry.name, wanted.name);
  }
  EXPECT_EQ(entry.clsid, wanted.clsid);
  EXPECT_EQ(entry.state_bits, wanted.state_bits);
  EXPECT_EQ(entry.created, wanted.created);
  EXPECT_EQ(entry.modified, wanted.modified);
  size_t streams = 0;
  size_t storages = 0;
  for (uint32_t child : file.Children(id)) {
    const DirectoryEntry& c = file.entry(child);
    if (c.type == EntryType::kStream) {
      ++streams;
      const auto it = std::find_if(
          wanted.streams.begin(), wanted.streams.end(),
          [&](const StreamEntry& s) { return s.name == c.name; });
      ASSERT_NE(it, wanted.streams.end());
      Result<std::vector<uint8_t>> data = file.ReadStream(child);
      ASSERT_TRUE(data.ok()) << data.status().message();
      EXPECT_TRUE(*data == std::vector<uint8_t>(it->data.begin(), it->data.end()));
    } else {
      ASSERT_EQ(c.type, EntryType::kStorage);
      ++storages;
      const auto it = std::find_if(
          wanted.storages.begin(), wanted.storages.end(),
          [&](const StorageTree& s) { return s.name == c.name; });
      ASSERT_NE(it, wanted.storages.end());
      ExpectEngineReads(*it, file, child);
    }
  }
  EXPECT_EQ(streams, wanted.streams.size());
  EXPECT_EQ(storages, wanted.storages.size());
}

cfbtest::ParsedFile RoundTrip(const StorageTree& root, unsigned version) {
  const std::vector<uint8_t> bytes = WriteOk(root, version);
  cfbtest::ParsedFile parsed = ParseOk(bytes);
  EXPECT_EQ(parsed.major_version, version);
  ExpectSameTree(root, parsed.root, true);

  auto opened = CompoundFileReader::Open(FileImage::FromBytes(bytes));
  EXPECT_TRUE(opened.ok()) << opened.status().message();
  if (opened.ok()) {
    EXPECT_EQ((*opened)->major_version(), version);
    ExpectEngineReads(root, **opened, CompoundFileReader::kRootId);
  }
  return parsed;
}

class WriterVersions : public ::testing::TestWithParam<unsigned> {
 protected:
  size_t SectorSize() const { return GetParam() == 3 ? 512 : 4096; }
};

INSTANTIATE_TEST_SUITE_P(Cfb, WriterVersions, ::testing::Values(3u, 4u),
                         [](const auto& info) {
                           return std::string(info.param == 3 ? "v3" : "v4");
                         });

TEST_P(WriterVersions, EmptyRootKeepsItsClsidStateAndTimes) {
  StorageTree root;
  root.clsid = kPackageClsid;
  root.state_bits = 0x12345678;
  root.created = 0;
  root.modified = 0x01D9A1B2C3D4E5F6ull;
  const std::vector<uint8_t> bytes = WriteOk(root, GetParam());
  // Header, one FAT sector and one directory sector, nothing else.
  EXPECT_EQ(bytes.size(), 3 * SectorSize());
  const cfbtest::ParsedFile parsed = ParseOk(bytes);
  ExpectSameTree(root, parsed.root, true);
  EXPECT_EQ(parsed.used_entries, 1u);
  EXPECT_EQ(parsed.mini_stream_size, 0u);
  EXPECT_EQ(parsed.mini_fat_sectors, 0u);
}

TEST_P(WriterVersions, StreamsAroundTheMiniStreamCutoff) {
  StorageTree root;
  const size_t sizes[] = {0, 1, 63, 64, 65, 200, 4095, 4096, 4097, 10000};
  uint32_t seed = 1;
  for (size_t size : sizes) {
    root.streams.push_back(
        Stream(Suffixed(u"s", char16_t(u'A' + seed)), size, seed));
    ++seed;
  }
  const cfbtest::ParsedFile parsed = RoundTrip(root, GetParam());
  // Only streams below 4096 bytes live in the mini stream, each on whole
  // 64-byte mini sectors; empty ones take none.
  uint64_t mini = 0;
  for (size_t size : sizes) {
    if (size < 4096) mini += (size + 63) / 64 * 64;
  }
  EXPECT_EQ(parsed.mini_stream_size, mini);
  EXPECT_GE(parsed.mini_fat_sectors, 1u);
}

TEST_P(WriterVersions, OnlyEmptyStreamsNeedNoMiniStream) {
  StorageTree root;
  root.streams.push_back(Stream(u"a", 0));
  root.streams.push_back(Stream(u"b", 0));
  const cfbtest::ParsedFile parsed = RoundTrip(root, GetParam());
  EXPECT_EQ(parsed.mini_stream_size, 0u);
  EXPECT_EQ(parsed.mini_fat_sectors, 0u);
}

TEST_P(WriterVersions, ThousandsOfStreamsSpanManyDirectorySectors) {
  StorageTree root;
  for (uint32_t i = 0; i < 3000; ++i) {
    std::u16string name = u"stream";
    for (uint32_t v = i; v > 0; v /= 7) name.push_back(char16_t(u'a' + v % 7));
    root.streams.push_back(Stream(name, i % 300, i));
  }
  const cfbtest::ParsedFile parsed = RoundTrip(root, GetParam());
  EXPECT_EQ(parsed.used_entries, 3001u);
  const size_t per_sector = SectorSize() / 128;
  EXPECT_EQ(parsed.directory_sectors, (3001 + per_sector - 1) / per_sector);
}

TEST_P(WriterVersions, NestedStoragesKeepTheirMetadata) {
  StorageTree root;
  root.clsid[0] = 0x11;
  root.streams.push_back(Stream(u"data", 100, 1));

  StorageTree a;
  a.name = u"Alpha";
  a.clsid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  a.state_bits = 7;
  a.created = 0x01D0000000000001ull;
  a.modified = 0x01D0000000000002ull;
  a.streams.push_back(Stream(u"data", 5000, 2));  // same name, other storage
  a.streams.push_back(Stream(u"small", 10, 3));

  StorageTree inner;
  inner.name = u"Inner";
  inner.streams.push_back(Stream(u"deep", 70, 4));
  StorageTree empty;
  empty.name = u"Empty";
  inner.storages.push_back(empty);

  StorageTree b;
  b.name = u"Beta";
  b.storages.push_back(inner);
  root.storages.push_back(a);
  root.storages.push_back(b);

  const cfbtest::ParsedFile parsed = RoundTrip(root, GetParam());
  EXPECT_EQ(parsed.used_entries, 9u);
}

TEST_P(WriterVersions, EverySiblingCountGivesAValidTree) {
  // Perfect and lopsided shapes alike; the strict reader checks colours,
  // black heights and order.
  for (uint32_t count = 1; count <= 70; ++count) {
    StorageTree root;
    for (uint32_t i = 0; i < count; ++i) {
      root.streams.push_back(Stream(Suffixed(u"n", char16_t(0x4000 + i)), 1, i));
    }
    SCOPED_TRACE(count);
    RoundTrip(root, GetParam());
  }
}

TEST_P(WriterVersions, SameInputGivesSameBytes) {
  StorageTree root;
  root.streams.push_back(Stream(u"one", 5000, 1));
  root.streams.push_back(Stream(u"two", 50, 2));
  StorageTree sub;
  sub.name = u"sub";
  sub.streams.push_back(Stream(u"x", 3, 3));
  root.storages.push_back(sub);
  const std::vector<uint8_t> first = WriteOk(root, GetParam());
  EXPECT_EQ(first, WriteOk(root, GetParam()));
  // The order the caller lists children in does not matter either.
  std::reverse(root.streams.begin(), root.streams.end());
  EXPECT_EQ(first, WriteOk(root, GetParam()));
}

TEST(CompoundFileWriter, EqualLengthNamesSortOnUpperCasedUnits) {
  StorageTree root;
  // '_' (0x5F) sorts after 'A' but before 'a': only upper-casing puts
  // "ax" first. Likewise 0xE9 upper-cases to 0xC9, below 0xD8, and Greek
  // alpha to 0x391, below omega's 0x3A9.
  for (const char16_t* name :
       {u"_x", u"ax", u"Zz", u"b", u"AC", u"ab", u"\u00D8", u"\u00E9",
        u"\u03A9\u03A9", u"\u03B1\u03A9", u"abc"}) {
    root.streams.push_back(Stream(name, 3));
  }
  const cfbtest::ParsedFile parsed = RoundTrip(root, 3);
  std::vector<std::u16string> order;
  for (const auto& s : parsed.root.streams) order.push_back(s.name);
  const std::vector<std::u16string> expected = {
      u"b",  u"\u00E9", u"\u00D8", u"ab", u"AC", u"ax",
      u"Zz", u"_x",     u"\u03B1\u03A9",   u"\u03A9\u03A9", u"abc"};
  EXPECT_EQ(order, expected);
}

TEST(CompoundFileWriter, UpperCasingAgreesWithTheCLibrary) {
  // The C library in a UTF-8 locale applies the same simple mappings; the
  // two may only part where one knows a newer Unicode than the other.
  int differences = 0;
  for (uint32_t u = 0; u <= 0xFFFF; ++u) {
    const auto unit = static_cast<char16_t>(u);
    if (UpperCaseUnit(unit) != cfbtest::ReferenceUpperCase(unit)) {
      ++differences;
    }
  }
  EXPECT_LE(differences, 40);
  EXPECT_EQ(UpperCaseUnit(u'q'), u'Q');
  EXPECT_EQ(UpperCaseUnit(u'\u00FF'), u'\u0178');
  EXPECT_EQ(UpperCaseUnit(u'\u0101'), u'\u0100');
  EXPECT_EQ(UpperCaseUnit(u'\u0100'), u'\u0100');
  EXPECT_EQ(UpperCaseUnit(u'\u00DF'), u'\u00DF');  // no one-unit capital
  EXPECT_EQ(UpperCaseUnit(u'\u4840'), u'\u4840');
  EXPECT_EQ(UpperCaseUnit(char16_t{0xD801}), char16_t{0xD801});
}

StorageTree RootWith(std::vector<std::u16string> names) {
  StorageTree root;
  for (auto& n : names) root.streams.push_back(Stream(n, 1));
  return root;
}

TEST(CompoundFileWriter, RejectsBadNamesWithoutWriting) {
  struct Case {
    const char* why;
    StorageTree root;
  };
  std::vector<Case> cases;
  cases.push_back({"identical", RootWith({u"same", u"same"})});
  cases.push_back({"case only", RootWith({u"Foo", u"fOO"})});
  cases.push_back({"Latin-1 case", RootWith({u"\u00E9", u"\u00C9"})});
  cases.push_back({"32 units", RootWith({std::u16string(32, u'x')})});
  cases.push_back({"empty", RootWith({u""})});
  cases.push_back({"slash", RootWith({u"a/b"})});
  cases.push_back({"backslash", RootWith({u"a\\b"})});
  cases.push_back({"colon", RootWith({u"a:b"})});
  cases.push_back({"bang", RootWith({u"a!b"})});
  cases.push_back({"NUL", RootWith({std::u16string(u"a\0b", 3)})});
  {
    StorageTree root = RootWith({u"x"});
    StorageTree sub;
    sub.name = u"X";  // clashes with the stream
    root.storages.push_back(sub);
    cases.push_back({"stream and storage", root});
  }
  {
    StorageTree root = RootWith({u"fine"});
    StorageTree sub;
    sub.name = u"sub";
    StorageTree subsub;
    subsub.name = u"deeper";
    subsub.streams.push_back(Stream(u"dup", 1));
    subsub.streams.push_back(Stream(u"DUP", 1));
    sub.storages.push_back(subsub);
    root.storages.push_back(sub);
    cases.push_back({"deep duplicate", root});
  }
  for (const Case& c : cases) {
    for (unsigned version : {3u, 4u}) {
      MemorySink sink;
      const Status status =
          WriteCompoundFile(c.root, WriteOptions{version}, sink);
      EXPECT_EQ(status.code(), 87u) << c.why;
      EXPECT_FALSE(status.message().empty()) << c.why;
      EXPECT_EQ(sink.writes, 0) << c.why;
    }
  }
}

TEST(CompoundFileWriter, LongestNameAndReservedLookalikesAreAccepted) {
  StorageTree root = RootWith({std::u16string(31, u'n'), u"\u0005Summary",
                               u"a.b", u"\u4840\u3B3F"});
  RoundTrip(root, 3);
}

TEST(CompoundFileWriter, RejectsUnknownVersions) {
  MemorySink sink;
  StorageTree root;
  EXPECT_EQ(WriteCompoundFile(root, WriteOptions{2}, sink).code(), 87u);
  EXPECT_EQ(WriteCompoundFile(root, WriteOptions{5}, sink).code(), 87u);
  EXPECT_EQ(sink.writes, 0);
}

TEST(CompoundFileWriter, SinkFailuresPropagateUnchanged) {
  StorageTree root;
  root.streams.push_back(Stream(u"big", 9000, 1));
  root.streams.push_back(Stream(u"big2", 4096, 2));
  root.streams.push_back(Stream(u"small", 100, 3));
  MemorySink counter;
  ASSERT_TRUE(WriteCompoundFile(root, WriteOptions{3}, counter).ok());
  ASSERT_GE(counter.writes, 3);
  for (int n = 1; n <= counter.writes; ++n) {
    FailingSink sink(n);
    const Status status = WriteCompoundFile(root, WriteOptions{3}, sink);
    EXPECT_EQ(status.code(), 112u) << "failing write " << n;
    EXPECT_EQ(status.message(), "disk full on cue");
    EXPECT_EQ(sink.writes, n) << "kept writing after a failure";
  }
}

// The round-trip checks are only as good as the reader behind them: make
// sure it notices the faults a writer could make.
TEST(CompoundFileWriter, StrictReaderCatchesDamage) {
  StorageTree root;
  root.streams.push_back(Stream(u"a1", 10, 1));
  root.streams.push_back(Stream(u"a2", 20, 2));
  root.streams.push_back(Stream(u"a3", 30, 3));
  root.streams.push_back(Stream(u"bg", 3000 * 2, 4));
  // Version 4: one directory sector holds every entry.
  const std::vector<uint8_t> good = WriteOk(root, 4);
  const size_t sector = 4096;
  ParseOk(good);

  auto get32 = [](const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 |
           uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
  };
  auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
  };
  const size_t fat_at = (get32(good, 76) + 1) * sector;
  const size_t dir_at = (get32(good, 48) + 1) * sector;
  auto entry_named = [&](const std::vector<uint8_t>& b, char16_t c0,
                         char16_t c1) {
    for (size_t at = dir_at; at < dir_at + sector; at += 128) {
      if (b[at] == c0 && b[at + 2] == c1 && b[at + 4] == 0) return at;
    }
    ADD_FAILURE() << "entry not found";
    return dir_at;
  };
  auto expect_rejected = [](const std::vector<uint8_t>& bad, const char* why) {
    cfbtest::ParsedFile parsed;
    EXPECT_NE(cfbtest::ParseStrict(bad, parsed), "") << why;
  };

  {
    std::vector<uint8_t> bad = good;
    const uint32_t fat_sector = get32(good, 76);
    put32(bad, fat_at + 4 * fat_sector, 0xFFFFFFFF);
    expect_rejected(bad, "FAT sector not marked");
  }
  {
    std::vector<uint8_t> bad = good;
    const size_t big = entry_named(good, u'b', u'g');
    const uint32_t first = get32(good, big + 116);
    put32(bad, fat_at + 4 * (first + 1), first);  // last sector loops back
    expect_rejected(bad, "chain loops");
  }
  {
    std::vector<uint8_t> bad = good;
    bad[entry_named(good, u'a', u'1') + 2] = '9';
    expect_rejected(bad, "siblings out of order");
  }
  {
    std::vector<uint8_t> bad = good;
    for (size_t at = dir_at + 128; at < dir_at + 5 * 128; at += 128) {
      bad[at + 67] = 0;
    }
    expect_rejected(bad, "red entries in a row");
  }
  {
    std::vector<uint8_t> bad = good;
    bad[dir_at + 5 * 128 + 100] = 1;  // 5 entries used of 32
    expect_rejected(bad, "unused entry not blank");
  }
  {
    std::vector<uint8_t> bad = good;
    const size_t a2 = entry_named(good, u'a', u'2');
    put32(bad, a2 + 116, get32(good, entry_named(good, u'a', u'1') + 116));
    expect_rejected(bad, "mini sector shared");
  }
  {
    std::vector<uint8_t> bad(good.begin(), good.end() - sector);
    expect_rejected(bad, "truncated");
  }
}

// The FAT of a version 3 file holds 128 entries a sector; 109 FAT sectors
// fit in the header, so the 110th needs a DIFAT sector.
TEST(CompoundFileWriter, DifatAppearsExactlyWhenTheHeaderRunsOut) {
  // 109 FAT sectors describe 13952 sectors, 109 of them their own; one
  // goes to the directory, which leaves 13842 for the stream.
  const size_t fits = 13842 * 512;
  {
    StorageTree root;
    root.streams.push_back(Stream(u"fits", fits, 1));
    const cfbtest::ParsedFile parsed = RoundTrip(root, 3);
    EXPECT_EQ(parsed.fat_sectors, 109u);
    EXPECT_EQ(parsed.difat_sectors, 0u);
  }
  {
    StorageTree root;
    root.streams.push_back(Stream(u"spills", fits + 1, 2));
    const cfbtest::ParsedFile parsed = RoundTrip(root, 3);
    EXPECT_EQ(parsed.fat_sectors, 110u);
    EXPECT_EQ(parsed.difat_sectors, 1u);
  }
}

TEST(CompoundFileWriter, DifatChainsAcrossSectors) {
  // More than 109 + 127 FAT sectors: two DIFAT sectors, linked.
  StorageTree root;
  root.streams.push_back(Stream(u"huge", 240 * 128 * 512, 5));
  root.streams.push_back(Stream(u"tiny", 5, 6));
  const cfbtest::ParsedFile parsed = RoundTrip(root, 3);
  EXPECT_EQ(parsed.difat_sectors, 2u);
}

// libmsi reads compound files through libgsf; msiinfo lists the streams it
// finds and extracts them: an outside reader of what we write.
TEST(CompoundFileWriter, MsitoolsReadsTheWrittenStreams) {
  if (ts::MsiInfo().empty()) {
    if (ts::RunningInCi()) FAIL() << "msiinfo missing and CI is true";
    GTEST_SKIP() << "msiinfo not installed";
  }
  ts::TempDir dir;
  for (unsigned version : {3u, 4u}) {
    StorageTree root;
    root.clsid = kPackageClsid;  // libmsi refuses other storages
    // libmsi opens nothing without a string pool: an empty one (codepage
    // 0, no strings) under the stored names of _StringPool and _StringData.
    root.streams.push_back(StreamEntry{
        u"\u4840\u3F3F\u4577\u446C\u3E6A\u44B2\u482F",
        std::make_shared<std::vector<uint8_t>>(4, 0)});
    root.streams.push_back(
        Stream(u"\u4840\u3F3F\u4577\u446C\u3B6A\u45E4\u4824", 0));
    root.streams.push_back(Stream(u"Alpha", 10, 1));
    root.streams.push_back(Stream(u"beta", 5000, 2));
    root.streams.push_back(Stream(u"Gamma", 0, 3));
    const std::vector<uint8_t> bytes = WriteOk(root, version);
    const std::string path = (dir / ("v" + std::to_string(version) + ".msi")).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    const ts::RunResult list = ts::Run({ts::MsiInfo(), "streams", path});
    ASSERT_EQ(list.exit_code, 0) << list.Describe();
    const std::string& listed = list.out;
    std::set<std::string> names;
    size_t pos = 0;
    while (pos < listed.size()) {
      const size_t end = listed.find('\n', pos);
      names.insert(listed.substr(pos, end - pos));
      if (end == std::string::npos) break;
      pos = end + 1;
    }
    names.erase("");
    EXPECT_EQ(names, (std::set<std::string>{"Alpha", "beta", "Gamma"}))
        << "version " << version << ", msiinfo said:\n" << listed;
    for (size_t i = 2; i < root.streams.size(); ++i) {
      const StreamEntry& s = root.streams[i];
      const std::string name(s.name.begin(), s.name.end());
      const std::string out = ts::Run({ts::MsiInfo(), "extract", path, name}).out;
      EXPECT_TRUE(std::vector<uint8_t>(out.begin(), out.end()) == std::vector<uint8_t>(s.data.begin(), s.data.end()))
          << name << " read back differently, version " << version;
    }
  }
}

}  // namespace
}  // namespace msi::cfb
