// Damaged copies of real packages must give result codes, never a crash, a
// sanitizer report or a hang: each package is damaged in many fixed,
// seed-determined ways and read whole through the C API.
//
// Reproduce one case: MSI_MUTATION_ONLY=<package file name>:<case number>
// runs just that case and keeps the damaged file (its path is printed).
#include <csignal>
#include <fstream>
#include <cstring>
#include <sstream>
#include <time.h>
#include <unistd.h>

#include "package_mutator.h"
#include "package_reader.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

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
  if (ts::CorpusPresent())
    for (const auto& entry : fs::directory_iterator(ts::CorpusDir()))
      if (std::ifstream in(entry.path(), std::ios::binary); in.read(magic, 4) && std::memcmp(magic, "\xD0\xCF\x11\xE0", 4) == 0)
        packages.push_back(entry.path());
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
    const ReadOutcome outcome = read_whole_package(damaged.string());
    const auto cpu = ThreadCpuTime() - cpu_started;
    EXPECT_LT(cpu, kCpuLimit) << label << " took " << cpu.count() / 1000000 << " ms of processor time";
    EXPECT_LT(std::chrono::steady_clock::now() - started, kWallLimit) << label;
    EXPECT_TRUE(is_expected_result(outcome.first_error))
        << label << ": result " << outcome.first_error << " at " << outcome.step;
    EXPECT_EQ(MsiCloseAllHandles(), 0u) << label << " left handles open";
    ++codes[outcome.first_error];
  }
  if (only != nullptr) std::cout << "damaged file kept: " << damaged << "\n";
  std::cout << name << ": " << cases << " cases; results:";
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
