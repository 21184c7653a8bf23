// Damaged summary information streams: real streams (and the engine's own)
// with their sizes, counts, offsets and types overwritten, cut or grown,
// each written into a small package. Opening the summary gives a result
// code, never a crash; what opens can be read whole, changed and persisted,
// and a persist that is refused leaves the stream as it was.
#include <set>

#include "cfb/compound_file_reader.h"
#include "package_mutator.h"
#include "package_reader.h"
#include "storage/stream_replace.h"
#include "storage/summary_info.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> SummaryStream(const fs::path& package) {
  auto image = msi::cfb::FileImage::Map(package.string());
  if (!image.ok()) return {};
  auto file = msi::cfb::CompoundFileReader::Open(*image);
  if (!file.ok()) return {};
  auto id = (*file)->FindChild(msi::cfb::CompoundFileReader::kRootId, u"\005SummaryInformation");
  auto bytes = id ? (*file)->ReadStream(*id) : std::vector<uint8_t>{};
  return bytes.ok() ? *bytes : std::vector<uint8_t>{};
}

// Values that sizes, counts, offsets and type fields go wrong with.
constexpr uint32_t kInteresting[] = {0, 1, 2, 3, 30, 64, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFC};

std::vector<uint8_t> Damage(std::vector<uint8_t> bytes, SplitMix64& random, std::string& what) {
  for (uint64_t steps = 1 + random.below(3); steps > 0; --steps) {
    switch (random.below(4)) {
      case 0: {  // a whole field of the header, section or a value
        if (bytes.size() < 4) break;
        const size_t at = random.below(bytes.size() / 4) * 4;
        uint32_t v = kInteresting[random.below(std::size(kInteresting))];
        if (random.below(4) == 0) v = static_cast<uint32_t>(bytes.size() - random.below(8));
        for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
        what += " field@" + std::to_string(at) + "=" + std::to_string(v);
        break;
      }
      case 1: {
        if (bytes.empty()) break;
        const size_t at = random.below(bytes.size());
        bytes[at] ^= static_cast<uint8_t>(1 + random.below(255));
        what += " byte@" + std::to_string(at);
        break;
      }
      case 2:
        bytes.resize(random.below(bytes.size() + 1));
        what += " cut@" + std::to_string(bytes.size());
        break;
      default:
        bytes.resize(bytes.size() + 1 + random.below(64), static_cast<uint8_t>(random.next()));
        what += " grown";
    }
  }
  return bytes;
}

TEST(SummaryMutation, DamagedStreamsGiveResultCodes) {
  std::vector<std::vector<uint8_t>> seeds = {msi::DefaultSummaryInformation("{00000000-0000-0000-0000-000000000000}")};
  std::set<fs::path> files;  // sorted: the same seeds in the same order everywhere
  if (ts::CorpusPresent()) files.insert(fs::directory_iterator(ts::CorpusDir()), fs::directory_iterator());
  for (const fs::path& file : files)
    if (auto bytes = SummaryStream(file); !bytes.empty()) seeds.push_back(std::move(bytes));
  const ts::TempDir dir;
  const fs::path package = dir / "p.msi";
  {
    ts::Handle db;
    ASSERT_EQ(MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_CREATE_A, db.out()), ERROR_SUCCESS);
    ASSERT_EQ(ts::Exec(db, "CREATE TABLE `T` (`K` CHAR(8) PRIMARY KEY `K`)"), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  std::map<unsigned, int> codes;
  for (int number = 0; number < 600; ++number) {
    SplitMix64 random(0x5EED0000u + static_cast<uint64_t>(number));
    std::string what;
    const auto damaged = Damage(seeds[static_cast<size_t>(number) % seeds.size()], random, what);
    SCOPED_TRACE("case " + std::to_string(number) + ":" + what);
    ASSERT_TRUE(msi::ReplaceRootStreamInFile(package.string(), u"\005SummaryInformation", damaged).ok());
    const ReadOutcome outcome = read_whole_package(package.string());
    EXPECT_TRUE(outcome.first_error == ERROR_SUCCESS || outcome.first_error == ERROR_INVALID_DATA)
        << outcome.first_error << " at " << outcome.step;
    ++codes[outcome.first_error];
    ts::Handle si;
    EXPECT_EQ(MsiGetSummaryInformationA(0, package.c_str(), 2, si.out()), outcome.first_error);
    if (si.get() != 0) {
      EXPECT_EQ(MsiSummaryInfoSetPropertyA(si, PID_PAGECOUNT, VT_I4, 300, nullptr, nullptr), 0u);
      // Texts whose bytes are no characters of the codepage cannot be
      // written back without loss: refused, and the file left alone.
      const std::vector<uint8_t> before = SummaryStream(package);
      const UINT persisted = MsiSummaryInfoPersist(si);
      if (persisted == ERROR_SUCCESS) {
        EXPECT_EQ(read_whole_package(package.string()).first_error, ERROR_SUCCESS);
      } else {
        EXPECT_EQ(persisted, static_cast<UINT>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(SummaryStream(package), before);
      }
    }
    si.reset();
    EXPECT_EQ(MsiCloseAllHandles(), 0u);
  }
  std::cout << "600 damaged summary streams from " << seeds.size() << " seeds; results:";
  for (auto [code, count] : codes) std::cout << " " << code << "x" << count;
  std::cout << "\n";
}

}  // namespace
