// Damaged summary information streams: real streams (and the engine's own)
// with their sizes, counts, offsets and types overwritten, cut or grown,
// each written into a small package. Opening the summary gives a result
// code, never a crash; what opens can be read whole, changed and persisted,
// and the rest of the package stays as it was.
#include <gtest/gtest.h>

#include <msiquery.h>

#include <filesystem>
#include <unistd.h>

#include "cfb/compound_file_reader.h"
#include "package_mutator.h"
#include "package_reader.h"
#include "storage/stream_replace.h"
#include "storage/summary_info.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCases = 600;

std::vector<uint8_t> StreamOf(const std::string& package) {
  auto image = msi::cfb::FileImage::Map(package);
  if (!image.ok()) return {};
  auto file = msi::cfb::CompoundFileReader::Open(*image);
  if (!file.ok()) return {};
  auto id = (*file)->FindChild(msi::cfb::CompoundFileReader::kRootId, u"\005SummaryInformation");
  if (!id) return {};
  auto bytes = (*file)->ReadStream(*id);
  return bytes.ok() ? *bytes : std::vector<uint8_t>{};
}

std::vector<std::vector<uint8_t>> SeedStreams() {
  std::vector<std::vector<uint8_t>> seeds = {
      msi::DefaultSummaryInformation("{00000000-0000-0000-0000-000000000000}")};
  const char* dir = MUTATION_CORPUS_DIR;
  if (!fs::is_directory(dir)) return seeds;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::vector<uint8_t> bytes = StreamOf(entry.path().string());
    if (!bytes.empty()) seeds.push_back(std::move(bytes));
  }
  return seeds;
}

// Values that sizes, counts, offsets and type fields go wrong with.
constexpr uint32_t kInteresting[] = {0,    1,    2,          3,          30,        64,
                                     0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFC};

std::vector<uint8_t> Damage(std::vector<uint8_t> bytes, SplitMix64& random, std::string& what) {
  const uint64_t steps = 1 + random.below(3);
  for (uint64_t i = 0; i < steps; ++i) {
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
  const auto seeds = SeedStreams();
  const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  const fs::path work = base / ("msi-summary-mutation-" + std::to_string(getpid()));
  fs::create_directories(work);
  const std::string package = (work / "p.msi").string();
  {
    MSIHANDLE db = 0, view = 0;
    ASSERT_EQ(MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_CREATE_A, &db), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseOpenViewA(db, "CREATE TABLE `T` (`K` CHAR(8) PRIMARY KEY `K`)", &view), 0u);
    ASSERT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS);
    MsiCloseHandle(view);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
    MsiCloseHandle(db);
  }
  std::map<unsigned, int> codes;
  for (int number = 0; number < kCases; ++number) {
    SplitMix64 random(0x5EED0000u + static_cast<uint64_t>(number));
    std::string what;
    const auto& seed = seeds[static_cast<size_t>(number) % seeds.size()];
    const auto damaged = Damage(seed, random, what);
    SCOPED_TRACE("case " + std::to_string(number) + ":" + what);
    ASSERT_TRUE(msi::ReplaceRootStreamInFile(package, u"\005SummaryInformation", damaged).ok());

    const ReadOutcome outcome = read_whole_package(package);
    EXPECT_TRUE(outcome.first_error == ERROR_SUCCESS || outcome.first_error == ERROR_INVALID_DATA)
        << outcome.first_error << " at " << outcome.step;
    ++codes[outcome.first_error];
    MSIHANDLE si = 0;
    const UINT opened = MsiGetSummaryInformationA(0, package.c_str(), 2, &si);
    EXPECT_EQ(opened, outcome.first_error);
    if (opened == ERROR_SUCCESS) {
      // What could be read can be changed and written back.
      EXPECT_EQ(MsiSummaryInfoSetPropertyA(si, PID_PAGECOUNT, VT_I4, 300, nullptr, nullptr), 0u);
      // Texts whose bytes are no characters of the codepage cannot be
      // written back without loss: refused, and the file left alone.
      const std::vector<uint8_t> before = StreamOf(package);
      const UINT persisted = MsiSummaryInfoPersist(si);
      EXPECT_TRUE(persisted == ERROR_SUCCESS || persisted == ERROR_INVALID_PARAMETER) << persisted;
      if (persisted == ERROR_SUCCESS) {
        EXPECT_EQ(read_whole_package(package).first_error, ERROR_SUCCESS);
      } else {
        EXPECT_EQ(StreamOf(package), before);
      }
    }
    MsiCloseHandle(si);
    EXPECT_EQ(MsiCloseAllHandles(), 0u);
  }
  fs::remove_all(work);
  std::cout << kCases << " damaged summary streams from " << seeds.size() << " seeds; results:";
  for (auto [code, count] : codes) std::cout << " " << code << "x" << count;
  std::cout << "\n";
}

}  // namespace
