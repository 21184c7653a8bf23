// Damaged copies of real packages must give result codes, never a crash, a
// sanitizer report or a hang: each package is damaged in many fixed,
// seed-determined ways and read whole through the C API.
//
// Reproduce one case: MSI_MUTATION_ONLY=<package file name>:<case number>
// runs just that case and keeps the damaged file (its path is printed).
#include <gtest/gtest.h>

#include <msiquery.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <time.h>
#include <fstream>
#include <unistd.h>

#include "package_mutator.h"
#include "package_reader.h"

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
#define MSI_HAVE_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MSI_HAVE_SANITIZER 1
#endif
#endif
#ifdef MSI_HAVE_SANITIZER
extern "C" void __sanitizer_set_death_callback(void (*callback)(void));
#endif

namespace {

constexpr int kTotalCases = 2400;  // shared out over the packages found
// Each case must take well under a second of processor time. Wall time gets
// a looser bound: on a loaded machine it says little, but a case stuck
// waiting still fails.
constexpr auto kCaseLimit = std::chrono::seconds(1);
constexpr auto kWallLimit = std::chrono::seconds(10);

std::chrono::nanoseconds thread_cpu_time() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// The case in progress, for the message when the process dies in it.
char g_current_case[512] = "(no case running)";

void tell_current_case() {
  const char prefix[] = "\nmutation test died in case: ";
  ssize_t ignored = write(2, prefix, sizeof prefix - 1);
  ignored = write(2, g_current_case, strlen(g_current_case));
  ignored = write(2, "\n", 1);
  (void)ignored;
}

void on_fatal_signal(int signal_number) {
  tell_current_case();
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void install_crash_reporting() {
#ifdef MSI_HAVE_SANITIZER
  __sanitizer_set_death_callback(tell_current_case);
#endif
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(s, on_fatal_signal);
}

std::string setting(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : fallback;
}

bool is_compound_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[8] = {};
  in.read(magic, sizeof magic);
  return in && std::memcmp(magic, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0;
}

std::vector<std::string> corpus_packages() {
  std::vector<std::string> found;
  std::string dir = setting("MSI_CORPUS_DIR", MUTATION_CORPUS_DIR);
  if (!fs::is_directory(dir)) return found;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.is_regular_file() && is_compound_file(entry.path())) found.push_back(entry.path().string());
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::string> all_packages() {
  auto packages = corpus_packages();
  std::string fixtures = MUTATION_FIXTURES;
  size_t at = 0;
  while (at <= fixtures.size()) {
    size_t end = fixtures.find(':', at);
    if (end == std::string::npos) end = fixtures.size();
    if (end > at) packages.push_back(fixtures.substr(at, end - at));
    at = end + 1;
  }
  return packages;
}

Bytes read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

uint64_t seed_for(const std::string& package_name, int case_number) {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a of the name: stable seeds per package
  for (unsigned char c : package_name) hash = (hash ^ c) * 1099511628211ull;
  return hash ^ (uint64_t(case_number) << 32);
}

class Mutation : public testing::TestWithParam<std::string> {};

TEST(MutationCorpus, IsPresent) {
  if (corpus_packages().empty()) {
    if (setting("CI", "") == "true") FAIL() << "CI run without the package corpus";
    GTEST_SKIP() << "no package corpus in '" << setting("MSI_CORPUS_DIR", MUTATION_CORPUS_DIR)
                 << "': only the project's own packages are damaged";
  }
  SUCCEED();
}

TEST_P(Mutation, DamagedCopiesGiveResultCodes) {
  install_crash_reporting();
  const std::string package = GetParam();
  ASSERT_TRUE(fs::exists(package)) << package << " is missing";
  const std::string name = fs::path(package).filename().string();
  PackageMutator mutator(read_file(package));

  int first = 0;
  int cases = std::max<int>(100, kTotalCases / static_cast<int>(all_packages().size()));
  std::string only = setting("MSI_MUTATION_ONLY", "");
  if (!only.empty()) {
    auto colon = only.rfind(':');
    if (only.substr(0, colon) != name) GTEST_SKIP() << "not the package asked for";
    first = std::atoi(only.c_str() + colon + 1);
    cases = 1;
  }

  // memory-backed when the system has it: thousands of copies are written
  fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  fs::path work = base /
                  ("msi-mutation-" + std::to_string(getpid()) + "-" + std::to_string(GetParam().size()));
  fs::create_directories(work);
  const std::string damaged = (work / name).string();
  std::map<unsigned, int> codes;
  std::chrono::nanoseconds slowest{0};
  for (int number = first; number < first + cases; ++number) {
    std::string description;
    write_file(damaged, mutator.mutate(seed_for(name, number), description));
    std::snprintf(g_current_case, sizeof g_current_case, "%s:%d (%s), file %s", name.c_str(), number,
                  description.c_str(), damaged.c_str());
    auto started = std::chrono::steady_clock::now();
    auto cpu_started = thread_cpu_time();
    ReadOutcome outcome = read_whole_package(damaged);
    auto cpu = thread_cpu_time() - cpu_started;
    auto wall = std::chrono::steady_clock::now() - started;
    slowest = std::max<std::chrono::nanoseconds>(slowest, cpu);
    ++codes[outcome.first_error];
    EXPECT_LT(cpu, kCaseLimit) << "case " << name << ":" << number << " (" << description << ") took "
                               << std::chrono::duration_cast<std::chrono::milliseconds>(cpu).count()
                               << " ms of processor time";
    EXPECT_LT(wall, kWallLimit) << "case " << name << ":" << number << " (" << description << ") took "
                                << std::chrono::duration_cast<std::chrono::milliseconds>(wall).count()
                                << " ms";
    EXPECT_TRUE(is_expected_result(outcome.first_error))
        << "case " << name << ":" << number << " (" << description << "): result "
        << outcome.first_error << " at " << outcome.step;
    EXPECT_EQ(MsiCloseAllHandles(), 0u) << "case " << name << ":" << number << " left handles open";
  }
  if (only.empty()) fs::remove_all(work);
  else std::cout << "damaged file kept: " << damaged << "\n";

  std::cout << name << ": " << cases << " cases, slowest (processor time) "
            << std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count() << " ms; results:";
  for (auto [code, count] : codes) std::cout << " " << code << "x" << count;
  std::cout << "\n";
}

std::string test_name(const testing::TestParamInfo<std::string>& info) {
  std::string name = std::to_string(info.index) + "_" + fs::path(info.param).stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

}  // namespace

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Mutation);
INSTANTIATE_TEST_SUITE_P(Packages, Mutation, testing::ValuesIn(all_packages()), test_name);
