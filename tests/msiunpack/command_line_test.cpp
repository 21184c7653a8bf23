// The command line as scripts and people use it: options, the default
// output folder, the listing, and the progress bar only on a terminal.
#include <gtest/gtest.h>

#include "unpack_support.h"

namespace unpack_test {
namespace {

// A small package with two files in an embedded cabinet.
void MakeSmallPackage(const fs::path& package) {
  MakePackage(package, {{"TARGETDIR\t\tSourceDir", "APP\tTARGETDIR\tapp|Application"},
                        {"Main\tAPP"},
                        {"a\tMain\ta.txt\t4\t0\t1", "b\tMain\tb|Bee.txt\t2\t0\t2"},
                        {"1\t2\t#main.cab"},
                        {{"main.cab", GcabCabinet({{"a", "aaaa"}, {"b", "bb"}}, 1000000000)}}});
}

// '*' in `pattern` stands for any text, everything else for itself.
bool Matches(const std::string& text, const std::string& pattern) {
  const size_t star = pattern.find('*');
  if (star == std::string::npos) return text == pattern;
  if (text.compare(0, star, pattern, 0, star) != 0) return false;
  for (size_t at = star; at <= text.size(); ++at)
    if (Matches(text.substr(at), pattern.substr(star + 1))) return true;
  return false;
}

struct CommandCase {
  std::string name;
  std::vector<std::string> args;
  int status;
  std::string out_pattern;  // the whole standard output, see Matches
  std::string err_pattern;  // the whole standard error
  std::vector<std::string> created;  // paths that exist afterwards
  bool terminal = false;             // run on a terminal (everything it prints in out)
};

class CommandLine : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandLine, AnswersAsDocumented) {
  const CommandCase& c = GetParam();
  TempDir dir;
  MakeSmallPackage(dir / "Product.Setup.msi");
  const RunResult run = RunUnpack(c.args, dir.path(), c.terminal);
  EXPECT_EQ(run.exit_code, c.status) << run.err;
  EXPECT_TRUE(Matches(run.out, c.out_pattern)) << run.out;
  EXPECT_TRUE(Matches(run.err, c.err_pattern)) << run.err;
  for (const std::string& path : c.created) EXPECT_TRUE(fs::exists(dir / path)) << path;
}

const std::string kUsage = "Usage: msiunpack*";

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLine,
    ::testing::Values(
        CommandCase{"help", {"--help"}, 0, kUsage, "", {}},
        CommandCase{"version", {"--version"}, 0, "msiunpack *.*.*\n", "", {}},
        CommandCase{"no_arguments", {}, 2, "", "msiunpack: no package given\n" + kUsage, {}},
        CommandCase{"unknown_option", {"--frobnicate", "Product.Setup.msi"}, 2, "",
                    "msiunpack: unknown option --frobnicate\n" + kUsage, {}},
        CommandCase{"too_many_operands", {"Product.Setup.msi", "a", "b"}, 2, "",
                    "msiunpack: too many arguments\n" + kUsage, {}},
        CommandCase{"list_prints_paths_and_sizes",
                    {"--list", "Product.Setup.msi"}, 0,
                    "SourceDir/Application/a.txt\t4\nSourceDir/Application/Bee.txt\t2\n", "", {}},
        CommandCase{"default_folder_is_the_package_name_without_extension",
                    {"Product.Setup.msi"}, 0, "", "", {"Product.Setup/SourceDir/Application/Bee.txt"}},
        CommandCase{"missing_folders_of_DIR_are_created",
                    {"--quiet", "Product.Setup.msi", "out/deeper"}, 0, "", "",
                    {"out/deeper/SourceDir/Application/a.txt"}},
        CommandCase{"a_name_after_double_dash_is_a_package", {"--", "-x.msi"}, 1, "",
                    "msiunpack: -x.msi: error 110: *\n", {}},
        CommandCase{"progress_bar_on_a_terminal", {"Product.Setup.msi", "image"}, 0,
                    "*100%  2/2 files  0.0 KiB/0.0 KiB*", "", {"image/SourceDir/Application/a.txt"}, true},
        CommandCase{"quiet_on_a_terminal", {"--quiet", "Product.Setup.msi", "image"}, 0, "", "",
                    {"image/SourceDir/Application/a.txt"}, true}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace unpack_test
