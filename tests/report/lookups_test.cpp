// The package lookups where the pages do not show them: folder path
// options, failures kept per object and asked again, keys that look like
// statement text. Rows run in order against the same objects.
#include <gtest/gtest.h>

#include <functional>

#include "Common.h"
#include "Lookups.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

TEST(LookupsTest, AnswersInOrderOfAsking) {
  auto Open = [](const char* name) {
    return Installer().OpenDatabase(FixturePackage(name).string(), Installer::kReadOnly);
  };
  Database dirs = Open("directories"), cycle = Open("directory_cycle"),
           missing = Open("missing_tables"), hollin = Open("hollin"), hostile = Open("hostile"),
           ordinary = Open("ordinary");
  DirectoryPaths paths(dirs, true, false, true), on_cycle(cycle, true, false, true),
      no_table(missing, true, false, true);
  auto yes_no = [](bool b) { return std::string(b ? "yes" : "no"); };
  const std::string loop = "!28 Out of stack space (directory cycle through A)";
  const std::pair<std::function<std::string()>, std::string> cases[] = {
      // Folders that hold no files, so no page lists them.
      {[&] { return paths.PathOf("SAMEDIR"); }, "[ProgramFilesFolder]My App\\"},
      {[&] { return paths.PathOf("NOWHERE"); }, ""},
      {[&] { return paths.PathOf("NoSuchFolder"); }, "[NoSuchFolder]"},
      // Source, short-name and plain-root paths.
      {[&] { return GetDirectoryPath(dirs, "BINDIR", false, false, true); },
       "[ProgramFilesFolder]My App\\Source Binaries\\"},
      {[&] { return GetDirectoryPath(dirs, "BINDIR", true, true, true); },
       "[ProgramFilesFolder]MYAPP\\BIN\\"},
      {[&] { return GetDirectoryPath(dirs, "APPDIR", true, false, false); },
       "[TARGETDIR]PFiles\\My App\\"},
      // Keys on or under a cycle fail, also when asked again; others resolve.
      {[&] { return on_cycle.PathOf("A"); }, loop},
      {[&] { return on_cycle.PathOf("B"); }, loop},
      {[&] { return on_cycle.PathOf("C"); }, loop},
      {[&] { return on_cycle.PathOf("A"); }, loop},
      {[&] { return on_cycle.PathOf("D"); }, "[TARGETDIR]Good\\"},
      {[&] { return no_table.PathOf("APPDIR"); }, "!1615 OpenView: "},
      {[&] { return no_table.PathOf("APPDIR"); }, "!1615 OpenView: "},
      {[&] { return no_table.PathOf("ProgramFilesFolder"); }, "[ProgramFilesFolder]"},
      {[&] { return GetFeatureTitle(hollin, "CORE"); }, ""},
      {[&] { return GetVersionDescription(hollin, "NETFX", "9.9"); }, "9.9"},
      {[&] { return GetVersionDescription(hollin, "NETFX", ""); }, ""},
      {[&] { return GetPropertyValue(hostile, "NoSuchProperty"); }, ""},
      {[&] { return GetPropertyValue(hostile, "x' OR Property<>'"); }, ""},
      {[&] { return yes_no(TableExists(hostile, "Upgrade' OR `Name`<>'")); }, "no"},
      {[&] { return yes_no(TableExists(ordinary, "Upgrade")); }, "yes"},
      {[&] { return yes_no(TableExists(ordinary, "upgrade")); }, "no"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::string got;
    try {
      got = cases[i].first();
    } catch (const Failure& failure) {
      got = "!" + std::to_string(failure.number()) + " " + failure.description();
    }
    // Engine failures are compared up to the operation's name.
    const std::string& expected = cases[i].second;
    EXPECT_EQ(expected.starts_with("!1615") ? got.substr(0, expected.size()) : got, expected)
        << "case " << i;
  }
}

}  // namespace
}  // namespace pellacor::testing
