// Damaged packages must give result codes, never a crash, a sanitizer
// report or a hang: copies of real packages damaged in many fixed,
// seed-determined ways, and damaged summary information streams, each read
// whole through the C API the way the tools read: every table named in
// _Tables and _Streams, every field as text, as integer, its size, every
// stream to its end, then the summary.
//
// Reproduce one package case: MSI_MUTATION_ONLY=<package file name>:<case
// number> runs just that case and keeps the damaged file (its path is
// printed).
#include <time.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "cfb/compound_file_reader.h"
#include "package_mutator.h"
#include "package_reader.h"
#include "storage/stream_replace.h"
#include "storage/summary_info.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using ts::Handle;

// Values that sizes, counts, offsets and type fields go wrong with.
constexpr uint32_t kInteresting[] = {0,          1,          2,          3,          30,        64,
                                     0xFFFF,     0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFC};

// One to three changes to a summary stream: a whole field, a byte, a cut
// or a tail of junk.
Bytes Damage(Bytes bytes, SplitMix64& random, std::string& what) {
  for (uint64_t steps = 1 + random.below(3); steps > 0; --steps) {
    switch (random.below(4)) {
      case 0: {
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

constexpr int kTotalCases = 2400;  // shared out over the packages found

// Processor time says whether a case loops; wall time, looser on a loaded
// machine, whether it waits on something.
constexpr auto kCpuLimit = std::chrono::seconds(1);
constexpr auto kWallLimit = std::chrono::seconds(10);

std::chrono::nanoseconds ThreadCpuTime() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// The case in progress, written out when the process dies in it.
char g_case[512] = "(no case running)";

extern "C" void OnFatalSignal(int number) {
  const char prefix[] = "\nmutation test died in case: ";
  (void)!write(2, prefix, sizeof prefix - 1);
  (void)!write(2, g_case, strlen(g_case));
  std::signal(number, SIG_DFL);
  std::raise(number);
}

// Every compound file of the corpus (patches too), then the project's own.
std::vector<fs::path> Packages() {
  std::vector<fs::path> packages;
  char magic[4];
  if (ts::CorpusPresent()) {
    for (const auto& entry : fs::directory_iterator(ts::CorpusDir())) {
      std::ifstream in(entry.path(), std::ios::binary);
      if (in.read(magic, 4) && std::memcmp(magic, "\xD0\xCF\x11\xE0", 4) == 0) {
        packages.push_back(entry.path());
      }
    }
  }
  std::sort(packages.begin(), packages.end());
  std::istringstream fixtures(MUTATION_FIXTURES);
  for (std::string p; std::getline(fixtures, p, ':');)
    if (!p.empty()) packages.push_back(p);
  return packages;
}

class Mutation : public testing::TestWithParam<fs::path> {};

TEST_P(Mutation, DamagedCopiesGiveResultCodes) {
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(s, OnFatalSignal);
  const fs::path package = GetParam();
  ASSERT_TRUE(fs::exists(package)) << package << " is missing";
  const std::string name = package.filename().string();
  const PackageMutator mutator(ts::ReadBytes(package));
  uint64_t name_hash = 1469598103934665603ull;  // FNV-1a: stable seeds per package
  for (unsigned char c : name) name_hash = (name_hash ^ c) * 1099511628211ull;

  int first = 0, cases = std::max<int>(100, kTotalCases / static_cast<int>(Packages().size()));
  const char* only = std::getenv("MSI_MUTATION_ONLY");
  if (only != nullptr) {
    const std::string wanted = only;
    if (wanted.substr(0, wanted.rfind(':')) != name) GTEST_SKIP() << "not the package asked for";
    first = std::atoi(wanted.c_str() + wanted.rfind(':') + 1);
    cases = 1;
  }
  const ts::TempDir dir;
  char kept[] = "/tmp/msi-mutation-XXXXXX";  // a case to reproduce outlives the run
  const fs::path damaged = (only != nullptr ? fs::path(mkdtemp(kept)) : dir.path()) / name;
  std::map<unsigned, int> codes;
  for (int number = first; number < first + cases; ++number) {
    std::string what;
    ts::WriteBytes(damaged, mutator.mutate(name_hash ^ (uint64_t(number) << 32), what));
    const std::string label = name + ":" + std::to_string(number) + " (" + what + ")";
    std::snprintf(g_case, sizeof g_case, "%s, file %s", label.c_str(), damaged.c_str());
    const auto started = std::chrono::steady_clock::now();
    const auto cpu_started = ThreadCpuTime();
    const ReadOutcome outcome = ReadWholePackage(damaged);
    const auto cpu = ThreadCpuTime() - cpu_started;
    EXPECT_LT(cpu, kCpuLimit) << label << " took " << cpu.count() / 1000000 << " ms of processor time";
    EXPECT_LT(std::chrono::steady_clock::now() - started, kWallLimit) << label;
    EXPECT_TRUE(IsExpectedResult(outcome.first_error))
        << label << ": result " << outcome.first_error << " at " << outcome.step;
    EXPECT_EQ(MsiCloseAllHandles(), 0u) << label << " left handles open";
    ++codes[outcome.first_error];
  }
  if (only != nullptr) std::cout << "damaged file kept: " << damaged << "\n";
  std::cout << name << ": " << cases << " cases; results:";
  for (auto [code, count] : codes) std::cout << " " << code << "x" << count;
  std::cout << "\n";
}

Bytes SummaryStream(const fs::path& package) {
  auto image = msi::cfb::FileImage::Map(package.string());
  if (!image.ok()) return {};
  auto file = msi::cfb::CompoundFileReader::Open(*image);
  if (!file.ok()) return {};
  auto id = (*file)->FindChild(msi::cfb::CompoundFileReader::kRootId, u"\005SummaryInformation");
  auto bytes = id ? (*file)->ReadStream(*id) : Bytes{};
  return bytes.ok() ? *bytes : Bytes{};
}

TEST(SummaryMutation, DamagedStreamsGiveResultCodes) {
  std::vector<Bytes> seeds = {msi::DefaultSummaryInformation("{00000000-0000-0000-0000-000000000000}")};
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
    const Bytes damaged = Damage(seeds[static_cast<size_t>(number) % seeds.size()], random, what);
    SCOPED_TRACE("case " + std::to_string(number) + ":" + what);
    ASSERT_TRUE(msi::ReplaceRootStreamInFile(package.string(), u"\005SummaryInformation", damaged).ok());
    const ReadOutcome outcome = ReadWholePackage(package);
    EXPECT_TRUE(outcome.first_error == ERROR_SUCCESS || outcome.first_error == ERROR_INVALID_DATA)
        << outcome.first_error << " at " << outcome.step;
    ++codes[outcome.first_error];
    ts::Handle si;
    EXPECT_EQ(MsiGetSummaryInformationA(0, package.c_str(), 2, si.out()), outcome.first_error);
    if (si.get() != 0) {
      EXPECT_EQ(MsiSummaryInfoSetPropertyA(si, PID_PAGECOUNT, VT_I4, 300, nullptr, nullptr), 0u);
      // Texts whose bytes are no characters of the codepage cannot be
      // written back without loss: refused, and the file left alone.
      const Bytes before = SummaryStream(package);
      const UINT persisted = MsiSummaryInfoPersist(si);
      if (persisted == ERROR_SUCCESS) {
        EXPECT_EQ(ReadWholePackage(package).first_error, ERROR_SUCCESS);
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

std::string TestName(const testing::TestParamInfo<fs::path>& info) {
  std::string name = std::to_string(info.index) + "_" + info.param.stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

}  // namespace

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Mutation);
INSTANTIATE_TEST_SUITE_P(Packages, Mutation, testing::ValuesIn(Packages()), TestName);
