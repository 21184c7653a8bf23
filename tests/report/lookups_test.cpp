// The package lookups on fixture packages where the pages do not show them:
// folder path options, failures kept per object, keys that look like
// statement text, an unopened database.
#include <gtest/gtest.h>

#include <functional>

#include "Common.h"
#include "Lookups.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

Database Open(const std::string& fixture) {
  return Installer().OpenDatabase(FixturePackage(fixture).string(), Installer::kReadOnly);
}

// The answer as text, or "!N description" for a failure.
std::string Answer(const std::function<std::string()>& lookup) {
  try {
    return lookup();
  } catch (const Failure& failure) {
    return "!" + std::to_string(failure.number()) + " " + failure.description();
  }
}

TEST(LookupsTest, DirectoryPathsInOrderOfAsking) {
  struct Case {
    const char* fixture;
    bool target, short_names, bracket_folders;
    std::vector<std::pair<const char*, std::string>> keys;  // asked in this order
  };
  const std::string cycle = "!28 Out of stack space (directory cycle through A)";
  const Case cases[] = {
      // The file list's pages show the folders that hold files; these hold none.
      {"directories", true, false, true,
       {{"SAMEDIR", "[ProgramFilesFolder]My App\\"}, {"NOWHERE", ""},
        {"NoSuchFolder", "[NoSuchFolder]"}}},
      {"directories", false, false, true,
       {{"BINDIR", "[ProgramFilesFolder]My App\\Source Binaries\\"}}},
      {"directories", true, true, true, {{"BINDIR", "[ProgramFilesFolder]MYAPP\\BIN\\"}}},
      {"directories", true, false, false, {{"APPDIR", "[TARGETDIR]PFiles\\My App\\"}}},
      // Keys on or under a cycle fail, also when asked again; others resolve.
      {"directory_cycle", true, false, true,
       {{"A", cycle}, {"B", cycle}, {"C", cycle}, {"A", cycle}, {"D", "[TARGETDIR]Good\\"}}},
      {"missing_tables", true, false, true,
       {{"APPDIR", "!1615 OpenView"}, {"APPDIR", "!1615 OpenView"},
        {"ProgramFilesFolder", "[ProgramFilesFolder]"}}},
  };
  for (const Case& c : cases) {
    Database db = Open(c.fixture);
    DirectoryPaths paths(db, c.target, c.short_names, c.bracket_folders);
    for (const auto& [key, expected] : c.keys) {
      SCOPED_TRACE(std::string(c.fixture) + " " + key);
      std::string got = Answer([&] { return paths.PathOf(key); });
      // Engine failures are compared up to their description's first word.
      EXPECT_EQ(expected.starts_with("!1615") ? got.substr(0, expected.size()) : got, expected);
    }
  }
}

TEST(LookupsTest, ValuesAreLookedUpByValueNotByPastedText) {
  Database hollin = Open("hollin"), hostile = Open("hostile"), ordinary = Open("ordinary"), none;
  struct Case {
    std::string what;
    std::function<std::string()> lookup;
    std::string expected;
  };
  auto yes_no = [](bool b) { return std::string(b ? "yes" : "no"); };
  const Case cases[] = {
      {"no such feature", [&] { return GetFeatureTitle(hollin, "CORE"); }, ""},
      {"unknown version", [&] { return GetVersionDescription(hollin, "NETFX", "9.9"); }, "9.9"},
      {"no version", [&] { return GetVersionDescription(hollin, "NETFX", ""); }, ""},
      {"no property", [&] { return GetPropertyValue(hostile, "NoSuchProperty"); }, ""},
      {"pasted property", [&] { return GetPropertyValue(hostile, "x' OR Property<>'"); }, ""},
      {"table", [&] { return yes_no(TableExists(hostile, "HollinDetects")); }, "yes"},
      {"pasted table", [&] { return yes_no(TableExists(hostile, "Upgrade' OR `Name`<>'")); }, "no"},
      {"absent table", [&] { return yes_no(TableExists(ordinary, "HollinDetects")); }, "no"},
      {"case of table", [&] { return yes_no(TableExists(ordinary, "upgrade")); }, "no"},
      {"unopened database", [&] { return GetPropertyValue(none, "ProductName"); }, "!91"},
      {"tables of unopened", [&] { return yes_no(TableExists(none, "Upgrade")); }, "!91"},
  };
  for (const Case& c : cases) {
    std::string got = Answer(c.lookup);
    EXPECT_EQ(c.expected.starts_with("!") ? got.substr(0, c.expected.size()) : got, c.expected)
        << c.what;
  }
}

}  // namespace
}  // namespace pellacor::testing
