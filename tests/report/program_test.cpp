// The pellacor program as scripts use it: the command line is one path,
// no display is needed, and the exit status tells success from failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"

extern char** environ;

namespace pellacor::testing {
namespace {

struct Outcome {
  int status = -1;
  std::string errors;
};

// Runs pellacor with the given arguments in `cwd`, with the given extra
// environment and without any display variable.
Outcome RunProgram(const std::vector<std::string>& args, const fs::path& cwd,
                   const std::vector<std::string>& extra_env = {}) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string var = *e;
    if (var.rfind("DISPLAY=", 0) == 0 || var.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        var.rfind("QT_QPA_PLATFORM=", 0) == 0) {
      continue;
    }
    env.push_back(var);
  }
  env.insert(env.end(), extra_env.begin(), extra_env.end());
  std::vector<char*> envp;
  for (std::string& var : env) envp.push_back(var.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_text = {PELLACOR_PROGRAM};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  fs::path errors_file = cwd / ".stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errors_file.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::string old_cwd = fs::current_path().string();
  fs::current_path(cwd);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  fs::current_path(old_cwd);
  posix_spawn_file_actions_destroy(&actions);
  Outcome outcome;
  if (spawned != 0) return outcome;
  int status = 0;
  waitpid(pid, &status, 0);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  outcome.errors = ReadBytes(errors_file);
  fs::remove(errors_file);
  return outcome;
}

TEST(ProgramTest, HeadlessRunWritesTheSameReportAsTheLibrary) {
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage("ordinary"), dir, "App.msi");
  std::string in_process = RunReport(package);
  fs::remove(dir / "App.html");
  Outcome run = RunProgram({package.string()}, dir.path());
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(ReadBytes(dir / "App.html"), in_process);
}

TEST(ProgramTest, RunWithTheWindowOffscreenWritesTheSameReport) {
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage("directories"), dir, "App.msi");
  std::string in_process = RunReport(package);
  fs::remove(dir / "App.html");
  Outcome run = RunProgram({package.string()}, dir.path(),
                           {"DISPLAY=:97", "QT_QPA_PLATFORM=offscreen"});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(ReadBytes(dir / "App.html"), in_process);
}

TEST(ProgramTest, DisplayThatCannotBeReachedFallsBackToNoWindow) {
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage("ordinary"), dir, "App.msi");
  Outcome run = RunProgram({package.string()}, dir.path(), {"DISPLAY=:97"});
  EXPECT_EQ(run.status, 0) << run.errors;
  std::string report = ReadBytes(dir / "App.html");
  EXPECT_TRUE(report.ends_with("</HTML>\r\n"));
  // Also when that window system was asked for by name.
  fs::remove(dir / "App.html");
  run = RunProgram({package.string()}, dir.path(), {"DISPLAY=:97", "QT_QPA_PLATFORM=xcb"});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(ReadBytes(dir / "App.html"), report);
}

TEST(ProgramTest, PathWithBlanksBareOrQuotedGivesOneReport) {
  TempDir dir;
  fs::create_directory(dir / "Setup Files");
  fs::path package = CopyPackage(FixturePackage("ordinary"), dir, "Setup Files/App.msi");
  // Bare: the shell hands over two arguments, joined again by one blank.
  Outcome bare = RunProgram({"Setup", "Files/App.msi"}, dir.path());
  ASSERT_EQ(bare.status, 0) << bare.errors;
  std::string first = ReadBytes(dir / "Setup Files/App.html");
  fs::remove(dir / "Setup Files/App.html");
  Outcome quoted = RunProgram({"\"Setup Files/App.msi\""}, dir.path());
  ASSERT_EQ(quoted.status, 0) << quoted.errors;
  EXPECT_EQ(ReadBytes(dir / "Setup Files/App.html"), first);
  EXPECT_NE(first.find("<TITLE>SETUP REPORT - Setup Files/App.msi</TITLE>"), std::string::npos);
}

TEST(ProgramTest, PathsNamingNoFileAreFileNotFoundAndWriteNothing) {
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage("ordinary"), dir, "App.msi");
  fs::create_directory(dir / "Folder.msi");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"Missing.msi"}, {"App.msi\""},
        {"\"App.msi\"", "\"App.msi\""}, {"Folder.msi"}}) {
    Outcome run = RunProgram(args, dir.path());
    EXPECT_EQ(run.status, 1) << ::testing::PrintToString(args);
    EXPECT_EQ(run.errors, "Pellacor: run-time error 53: File not found\n");
  }
  EXPECT_FALSE(fs::exists(dir / "App.html"));
  EXPECT_FALSE(fs::exists(dir / "Missing.html"));
  EXPECT_FALSE(fs::exists(dir / "Folder.html"));
}

TEST(ProgramTest, ReportThatCannotBeCreatedIsExitOneWithOneLine) {
  TempDir dir;
  fs::create_directory(dir / "b.msi");
  fs::path package = CopyPackage(FixturePackage("ordinary"), dir, "b.msi/App.msi");
  Outcome run = RunProgram({package.string()}, dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, "Pellacor: run-time error 76: Path not found: " +
                            (dir / "b.html/App.html").string() + "\n");
  EXPECT_FALSE(fs::exists(dir / "b.html"));
}

TEST(ProgramTest, NotAPackageStillGivesAReport) {
  TempDir dir;
  WriteBytes(dir / "notes.msi", "not a package");
  Outcome run = RunProgram({"notes.msi"}, dir.path());
  EXPECT_EQ(run.status, 0) << run.errors;
  std::string report = ReadBytes(dir / "notes.html");
  EXPECT_EQ(report.rfind("Error: ", 0), 0u);
  EXPECT_TRUE(report.ends_with("</HTML>\r\n"));
}

}  // namespace
}  // namespace pellacor::testing
