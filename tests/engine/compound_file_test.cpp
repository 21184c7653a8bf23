// The compound file writer checked against a strict reader of its own
// (cfb_test_reader) and the engine's reader; the engine's reader against
// damaged files, where every fault must become its error code (random
// damage to whole packages: tests/mutation; libmsi reading what the writer
// wrote: the round trips in tests/engine_write).
#include <algorithm>
#include <functional>
#include <tuple>

#include "cfb/compound_file.h"
#include "cfb/compound_file_reader.h"
#include "cfb/compound_file_writer_names.h"
#include "cfb/file_image.h"
#include "cfb_test_reader.h"
#include "support.h"

namespace msi::cfb {
namespace {

using File = std::vector<uint8_t>;

// {000C1084-0000-0000-C000-000000000046}, as stored.
constexpr Clsid kPackageClsid = {0x84, 0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};

// Keeps what it is given; refuses the `fail_at`-th write (1-based), if any.
struct Sink : ByteSink {
  explicit Sink(int fail = 0) : fail_at(fail) {}
  Status Write(const uint8_t* data, size_t size) override {
    if (++writes == fail_at) return Status::Error(112, "disk full on cue");
    bytes.insert(bytes.end(), data, data + size);
    return Status();
  }
  int fail_at, writes = 0;
  File bytes;
};

StreamEntry Stream(std::u16string name, size_t size, uint32_t seed = 1) {
  auto data = std::make_shared<File>(size);
  for (uint32_t x = seed * 2654435761u + 1; auto& b : *data)
    b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
  return StreamEntry{std::move(name), data};
}
File Data(const StreamEntry& s) { return File(s.data.begin(), s.data.end()); }

StorageTree Tree(std::vector<std::u16string> names, size_t size = 1) {
  StorageTree root;
  uint32_t seed = 0;
  for (auto& n : names) root.streams.push_back(Stream(n, size, ++seed));
  return root;
}
StorageTree Dir(std::u16string name, std::vector<StreamEntry> streams,
                std::vector<StorageTree> storages = {}) {
  StorageTree dir;
  dir.name = std::move(name);
  dir.streams = std::move(streams);
  dir.storages = std::move(storages);
  return dir;
}

File Write(const StorageTree& root, unsigned version) {
  Sink sink;
  const Status status = WriteCompoundFile(root, WriteOptions{version}, sink);
  EXPECT_TRUE(status.ok()) << status.message();
  return sink.bytes;
}

uint32_t Get32(const File& f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}
void Put32(File& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

template <typename T>
std::vector<T> Sorted(std::vector<T> v) {
  std::sort(v.begin(), v.end(),
            [](auto& a, auto& b) { return cfbtest::ReferenceCompareNames(a.name, b.name) < 0; });
  return v;
}

// What was written against what the strict reader found (children in the
// format's sibling order) and against what the engine's reader finds.
void ExpectSame(const StorageTree& want, const cfbtest::Storage& got, const CompoundFileReader& engine,
                uint32_t id) {
  const DirectoryEntry& entry = engine.entry(id);
  if (id != CompoundFileReader::kRootId) {
    EXPECT_TRUE(want.name == got.name && want.name == entry.name);
  }
  const auto meta = [](const auto& e) { return std::tuple(e.clsid, e.state_bits, e.created, e.modified); };
  EXPECT_TRUE(meta(want) == meta(got) && meta(want) == meta(entry)) << "class id, state bits or times";
  const auto streams = Sorted(want.streams);
  const auto storages = Sorted(want.storages);
  ASSERT_EQ(streams.size(), got.streams.size());
  ASSERT_EQ(storages.size(), got.storages.size());
  ASSERT_EQ(engine.Children(id).size(), streams.size() + storages.size());
  for (size_t i = 0; i < streams.size(); ++i) {
    const auto child = engine.FindChild(id, streams[i].name);
    auto data = engine.ReadStream(child.value_or(0));
    ASSERT_TRUE(child && data.ok() && streams[i].name == got.streams[i].name) << "stream " << i;
    EXPECT_TRUE(Data(streams[i]) == got.streams[i].data && *data == Data(streams[i]))
        << "stream " << i << " differs";
  }
  for (size_t i = 0; i < storages.size(); ++i) {
    const auto child = engine.FindChild(id, storages[i].name);
    ASSERT_TRUE(child.has_value());
    ExpectSame(storages[i], got.storages[i], engine, *child);
  }
}

cfbtest::ParsedFile RoundTrip(const StorageTree& root, unsigned version) {
  const File bytes = Write(root, version);
  cfbtest::ParsedFile parsed;
  EXPECT_EQ(cfbtest::ParseStrict(bytes, parsed), "");
  EXPECT_EQ(parsed.major_version, version);
  auto opened = CompoundFileReader::Open(FileImage::FromBytes(bytes));
  EXPECT_TRUE(opened.ok()) << opened.status().message();
  if (opened.ok()) ExpectSame(root, parsed.root, **opened, CompoundFileReader::kRootId);
  return parsed;
}

class WriterVersions : public ::testing::TestWithParam<unsigned> {};
INSTANTIATE_TEST_SUITE_P(Cfb, WriterVersions, ::testing::Values(3u, 4u),
                         [](const auto& info) { return "v" + std::to_string(info.param); });

TEST_P(WriterVersions, ShapesRoundTripExactlyAndTheSameEachTime) {
  const size_t sector = GetParam() == 3 ? 512 : 4096;
  struct Case {
    const char* what;
    StorageTree root;
    uint32_t entries;
    uint64_t mini_stream;  // bytes; streams below 4096 take whole 64-byte mini sectors
  };
  std::vector<Case> cases;
  StorageTree empty;
  empty.clsid = kPackageClsid;
  empty.state_bits = 0x12345678;
  empty.modified = 0x01D9A1B2C3D4E5F6ull;
  cases.push_back({"empty root", empty, 1, 0});
  StorageTree cutoff;
  uint64_t mini = 0;
  for (size_t size : {0, 1, 63, 64, 65, 200, 4095, 4096, 4097, 10000}) {
    cutoff.streams.push_back(Stream(u"s" + std::u16string(1, char16_t(u'A' + cutoff.streams.size())), size,
                                    static_cast<uint32_t>(size)));
    mini += size < 4096 ? (size + 63) / 64 * 64 : 0;
  }
  cases.push_back({"around the mini stream cutoff", cutoff, 11, mini});
  cases.push_back({"only empty streams", Tree({u"a", u"b"}, 0), 3, 0});
  cases.push_back({"longest name, reserved lookalikes",
                   Tree({std::u16string(31, u'n'), u"\u0005Summary", u"a.b", u"\u4840\u3B3F"}), 5, 256});
  StorageTree many;
  for (uint32_t i = 0; i < 3000; ++i) {
    std::u16string name = u"stream";
    for (uint32_t v = i; v > 0; v /= 7) name.push_back(char16_t(u'a' + v % 7));
    many.streams.push_back(Stream(name, i % 300, i));
  }
  cases.push_back({"thousands of streams", many, 3001, UINT64_MAX});
  StorageTree a =
      Dir(u"Alpha", {Stream(u"data", 5000, 2), Stream(u"small", 10, 3)});  // a name the root has too
  a.clsid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  a.state_bits = 7;
  a.created = 0x01D0000000000001ull;
  a.modified = 0x01D0000000000002ull;
  StorageTree nested =
      Dir(u"", {Stream(u"data", 100)},
          {a, Dir(u"Beta", {}, {Dir(u"Inner", {Stream(u"deep", 70, 4)}, {Dir(u"Empty", {})})})});
  nested.clsid[0] = 0x11;
  cases.push_back({"nested storages", nested, 9, 128 + 64 + 128});
  // Every sibling count, perfect and lopsided trees alike: the strict
  // reader checks colours, black heights and order.
  for (uint32_t count = 1; count <= 70; ++count) {
    StorageTree root;
    for (uint32_t i = 0; i < count; ++i)
      root.streams.push_back(Stream(u"n" + std::u16string(1, char16_t(0x4000 + i)), 1, i));
    cases.push_back({"sibling count", root, count + 1, count * 64});
  }
  for (Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.what << ", " << c.entries << " entries");
    const cfbtest::ParsedFile parsed = RoundTrip(c.root, GetParam());
    EXPECT_EQ(parsed.used_entries, c.entries);
    EXPECT_EQ(parsed.directory_sectors, (c.entries + sector / 128 - 1) / (sector / 128));
    if (c.mini_stream != UINT64_MAX) {
      EXPECT_EQ(parsed.mini_stream_size, c.mini_stream);
    }
    EXPECT_EQ(parsed.mini_fat_sectors == 0, parsed.mini_stream_size == 0);
    // The order the caller lists children in does not change a byte.
    const File first = Write(c.root, GetParam());
    std::reverse(c.root.streams.begin(), c.root.streams.end());
    std::reverse(c.root.storages.begin(), c.root.storages.end());
    EXPECT_TRUE(first == Write(c.root, GetParam()));
  }
  EXPECT_EQ(Write(empty, GetParam()).size(), 3 * sector) << "header, FAT and directory only";
}

TEST(CompoundFileWriter, EqualLengthNamesSortOnUpperCasedUnits) {
  // '_' (0x5F) sorts after 'A' but before 'a': only upper-casing puts "ax"
  // first. Likewise 0xE9 upper-cases to 0xC9, below 0xD8, and Greek alpha
  // to 0x391, below omega's 0x3A9.
  const cfbtest::ParsedFile parsed = RoundTrip(Tree({u"_x", u"ax", u"Zz", u"b", u"AC", u"ab", u"\u00D8",
                                                     u"\u00E9", u"\u03A9\u03A9", u"\u03B1\u03A9", u"abc"}),
                                               3);
  std::vector<std::u16string> order;
  for (const auto& s : parsed.root.streams) order.push_back(s.name);
  EXPECT_EQ(order, (std::vector<std::u16string>{u"b", u"\u00E9", u"\u00D8", u"ab", u"AC", u"ax", u"Zz", u"_x",
                                                u"\u03B1\u03A9", u"\u03A9\u03A9", u"abc"}));
  // The C library in a UTF-8 locale applies the same simple mappings; the
  // two may only part where one knows a newer Unicode than the other.
  int differences = 0;
  for (uint32_t u = 0; u <= 0xFFFF; ++u)
    differences += UpperCaseUnit(char16_t(u)) != cfbtest::ReferenceUpperCase(char16_t(u));
  EXPECT_LE(differences, 40);
  EXPECT_EQ(UpperCaseUnit(u'\u00FF'), u'\u0178');
  EXPECT_EQ(UpperCaseUnit(u'\u00DF'), u'\u00DF');  // no one-unit capital
}

TEST(CompoundFileWriter, RejectsBadNamesAndVersionsWithoutWriting) {
  const struct {
    const char* why;
    StorageTree root;
    std::vector<unsigned> versions = {3, 4};
  } cases[] = {{"identical", Tree({u"same", u"same"})},
               {"case only", Tree({u"Foo", u"fOO"})},
               {"Latin-1 case", Tree({u"\u00E9", u"\u00C9"})},
               {"32 units", Tree({std::u16string(32, u'x')})},
               {"empty", Tree({u""})},
               {"slash", Tree({u"a/b"})},
               {"backslash", Tree({u"a\\b"})},
               {"colon", Tree({u"a:b"})},
               {"bang", Tree({u"a!b"})},
               {"NUL", Tree({std::u16string(u"a\0b", 3)})},
               {"stream and storage", Dir(u"", {Stream(u"x", 1)}, {Dir(u"X", {})})},
               {"deep duplicate",
                Dir(u"", {}, {Dir(u"sub", {}, {Dir(u"deeper", {Stream(u"dup", 1), Stream(u"DUP", 1)})})})},
               {"unknown versions", Tree({u"ok"}), {2, 5}}};
  for (const auto& c : cases) {
    for (unsigned version : c.versions) {
      Sink sink;
      const Status status = WriteCompoundFile(c.root, WriteOptions{version}, sink);
      EXPECT_EQ(status.code(), 87u) << c.why;
      EXPECT_FALSE(status.message().empty()) << c.why;
      EXPECT_EQ(sink.writes, 0) << c.why;
    }
  }
}

TEST(CompoundFileWriter, SinkFailuresPropagateUnchanged) {
  StorageTree root;
  root.streams = {Stream(u"big", 9000, 1), Stream(u"big2", 4096, 2), Stream(u"small", 100, 3)};
  Sink counter;
  ASSERT_TRUE(WriteCompoundFile(root, WriteOptions{3}, counter).ok());
  ASSERT_GE(counter.writes, 3);
  for (int n = 1; n <= counter.writes; ++n) {
    Sink sink(n);
    const Status status = WriteCompoundFile(root, WriteOptions{3}, sink);
    EXPECT_EQ(status.code(), 112u) << "failing write " << n;
    EXPECT_EQ(status.message(), "disk full on cue");
    EXPECT_EQ(sink.writes, n) << "kept writing after a failure";
  }
}

// The round trips are only as good as the strict reader behind them: it
// must notice the faults a writer could make.
TEST(CompoundFileWriter, StrictReaderCatchesDamage) {
  StorageTree root = Tree({u"a1", u"a2", u"a3"}, 30);
  root.streams.push_back(Stream(u"bg", 6000, 4));
  const File good = Write(root, 4);  // one directory sector holds every entry
  const size_t sector = 4096, fat = (Get32(good, 76) + 1) * sector, dir = (Get32(good, 48) + 1) * sector;
  auto entry = [&](const char* name) {  // two-character names
    size_t at = dir;
    while (at < dir + sector && !(good[at] == name[0] && good[at + 2] == name[1] && good[at + 4] == 0))
      at += 128;
    return at;
  };
  const struct {
    const char* what;
    std::function<void(File&)> damage;
  } cases[] = {
      {"FAT sector not marked", [&](File& f) { Put32(f, fat + 4 * Get32(good, 76), 0xFFFFFFFF); }},
      {"chain loops",
       [&](File& f) {
         Put32(f, fat + 4 * (Get32(good, entry("bg") + 116) + 1), Get32(good, entry("bg") + 116));
       }},
      {"siblings out of order", [&](File& f) { f[entry("a1") + 2] = '9'; }},
      {"red entries in a row",
       [&](File& f) {
         for (size_t i = 1; i < 5; ++i) f[dir + 128 * i + 67] = 0;
       }},
      {"unused entry not blank", [&](File& f) { f[dir + 5 * 128 + 100] = 1; }},
      {"mini sector shared", [&](File& f) { Put32(f, entry("a2") + 116, Get32(good, entry("a1") + 116)); }},
      {"truncated", [&](File& f) { f.erase(f.end() - static_cast<std::ptrdiff_t>(sector), f.end()); }},
  };
  cfbtest::ParsedFile parsed;
  EXPECT_EQ(cfbtest::ParseStrict(good, parsed), "");
  for (const auto& c : cases) {
    File bad = good;
    c.damage(bad);
    EXPECT_NE(cfbtest::ParseStrict(bad, parsed), "") << c.what;
  }
}

// A version 3 FAT sector holds 128 entries and the header lists 109 FAT
// sectors; the 110th needs a DIFAT sector, more than 109 + 127 a second.
TEST(CompoundFileWriter, DifatAppearsExactlyWhenTheHeaderRunsOut) {
  const size_t fits = 13842 * 512;  // 109 * 128 sectors, less the FAT and the directory
  const struct {
    size_t size;
    uint32_t fat, difat;
  } cases[] = {{fits, 109, 0}, {fits + 1, 110, 1}, {240 * 128 * 512, 0, 2}};
  for (const auto& c : cases) {
    StorageTree root;
    root.streams = {Stream(u"big", c.size, 5),
                    Stream(u"tiny", c.difat == 2 ? 5 : 0, 6)};  // empty: no mini stream
    const cfbtest::ParsedFile parsed = RoundTrip(root, 3);
    if (c.fat != 0) {
      EXPECT_EQ(parsed.fat_sectors, c.fat) << c.size;
    }
    EXPECT_EQ(parsed.difat_sectors, c.difat) << c.size;
  }
}

// ---- the engine's reader on damaged files ----

// A file with a small stream (in the mini stream), a large one and a storage.
File Sample() {
  StorageTree root = Tree({u"small"}, 100), sub = Tree({u"inner"}, 10);
  root.streams.push_back(Stream(u"large", 9000, 2));
  sub.name = u"sub";
  root.storages.push_back(sub);
  return Write(root, 3);
}

Result<std::shared_ptr<const CompoundFileReader>> Open(File bytes) {
  return CompoundFileReader::Open(FileImage::FromBytes(std::move(bytes)));
}

// Where directory entries and FAT entries are (one directory sector here).
size_t EntryAt(const File& f, uint32_t index) { return (Get32(f, 0x30) + 1) * 512 + 128 * index; }
size_t FatAt(const File& f, uint32_t sector) { return (Get32(f, 0x4C) + 1) * 512 + 4 * sector; }
size_t Named(const File& f, const char* two) {  // the entry whose name starts so
  for (uint32_t i = 1; i < 5; ++i) {
    if (f[EntryAt(f, i)] == two[0] && f[EntryAt(f, i) + 2] == two[1]) return EntryAt(f, i);
  }
  ADD_FAILURE() << "no entry";
  return EntryAt(f, 0);
}

// Reads every stream under every storage, copied and shared (which must
// agree); returns the first error code.
uint32_t ReadAll(const CompoundFileReader& r) {
  uint32_t first = 0;
  for (std::vector<uint32_t> pending{CompoundFileReader::kRootId}; !pending.empty();) {
    const uint32_t s = pending.back();
    pending.pop_back();
    for (uint32_t id : r.Children(s)) {
      if (r.entry(id).type == EntryType::kStorage) {
        pending.push_back(id);
        continue;
      }
      auto bytes = r.ReadStream(id);
      auto shared = r.ShareStream(id);
      EXPECT_EQ(bytes.ok(), shared.ok());
      if (bytes.ok() && shared.ok()) {
        EXPECT_EQ(*bytes, File(shared->begin(), shared->end()));
      }
      if (!bytes.ok() && first == 0) first = bytes.status().code();
    }
  }
  return first;
}

TEST(CompoundFileReader, DamageGivesItsCode) {
  const File good = Sample();
  const uint32_t large = Get32(good, Named(good, "la") + 0x74);
  const struct {
    const char* what;
    std::function<void(File&)> damage;
    uint32_t open_code, read_code;  // what Open gives; what reading gives when it opens
  } cases[] = {
      {"sectors out of order, relinked",
       [&](File& f) {
         // A valid file whose stream cannot be shared as one range.
         std::swap_ranges(f.begin() + (large + 1) * 512, f.begin() + (large + 2) * 512,
                          f.begin() + (large + 2) * 512);
         Put32(f, Named(f, "la") + 0x74, large + 1);
         Put32(f, FatAt(f, large + 1), large);
         Put32(f, FatAt(f, large), large + 2);
       },
       0, 0},
      {"empty file", [](File& f) { f.clear(); }, 1620, 0},
      {"not a compound file", [](File& f) { f.assign(100, 0xD0); }, 1620, 0},
      {"signature", [](File& f) { f[0] = 'P'; }, 1620, 0},
      {"byte order", [](File& f) { f[0x1C] = 0xFF; }, 13, 0},
      {"version", [](File& f) { f[0x1A] = 7; }, 13, 0},
      {"sector shift", [](File& f) { f[0x1E] = 10; }, 13, 0},
      {"mini sector shift", [](File& f) { f[0x20] = 7; }, 13, 0},
      {"FAT sector count beyond the file", [](File& f) { Put32(f, 0x2C, 0x00FFFFFF); }, 13, 0},
      {"directory outside the file", [](File& f) { Put32(f, 0x30, 5000); }, 13, 0},
      {"FAT sector outside the file", [](File& f) { Put32(f, 0x4C, 4000); }, 13, 0},
      {"mini stream cutoff", [](File& f) { Put32(f, 0x38, 100); }, 13, 0},
      {"directory chain loops", [](File& f) { Put32(f, FatAt(f, Get32(f, 0x30)), Get32(f, 0x30)); }, 13, 0},
      {"own left sibling",
       [](File& f) {
         Put32(f, Named(f, "sm") + 0x44, static_cast<uint32_t>((Named(f, "sm") - EntryAt(f, 0)) / 128));
       },
       13, 0},
      {"sibling beyond the directory", [](File& f) { Put32(f, Named(f, "sm") + 0x48, 77); }, 13, 0},
      {"root as its own child", [](File& f) { Put32(f, EntryAt(f, 0) + 0x4C, 0); }, 13, 0},
      {"no such entry type", [](File& f) { f[Named(f, "sm") + 0x42] = 9; }, 13, 0},
      {"stream chain loops", [&](File& f) { Put32(f, FatAt(f, large), large); }, 0, 13},
      {"stream size beyond the file", [](File& f) { Put32(f, Named(f, "la") + 0x78, 0x7FFFFFFF); }, 0, 13},
  };
  for (const auto& c : cases) {
    File f = good;
    c.damage(f);
    auto r = Open(f);
    EXPECT_EQ(r.ok() ? 0 : r.status().code(), c.open_code) << c.what;
    if (r.ok()) {
      EXPECT_EQ(ReadAll(**r), c.read_code) << c.what;
    }
  }
}

}  // namespace
}  // namespace msi::cfb
