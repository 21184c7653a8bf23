// The package lookups on fixture packages: folder display paths (with their
// failures, kept per object), feature titles, requirement texts, properties
// and tables, with keys that look like statement text.
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
      {"directories", true, false, true,
       {{"TARGETDIR", "[TARGETDIR]"}, {"TargetDir", "[TargetDir]"},
        {"ProgramFilesFolder", "[ProgramFilesFolder]"},
        {"APPDIR", "[ProgramFilesFolder]My App\\"}, {"SAMEDIR", "[ProgramFilesFolder]My App\\"},
        {"BINDIR", "[ProgramFilesFolder]My App\\Binaries\\"}, {"DATA", "Data\\"},
        {"SELF", "Self\\"}, {"ORPHAN", "Orphan\\"}, {"NOWHERE", ""},
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
      if (!expected.starts_with("!")) {
        EXPECT_EQ(GetDirectoryPath(db, key, c.target, c.short_names, c.bracket_folders), got);
      }
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
      {"title", [&] { return GetFeatureTitle(hollin, "Core"); }, "Core Files"},
      {"empty title gives the key", [&] { return GetFeatureTitle(hollin, "core"); }, "core"},
      {"no such feature", [&] { return GetFeatureTitle(hollin, "CORE"); }, ""},
      {"quoted key", [&] { return GetFeatureTitle(hostile, "O'Brien"); }, "<i>Tools</i> & more"},
      {"version text", [&] { return GetVersionDescription(hollin, "NETFX", "4.0"); }, "4.0 (Full)"},
      {"other product", [&] { return GetVersionDescription(hollin, "VCRT", "14.0"); }, "14.0"},
      {"unknown version", [&] { return GetVersionDescription(hollin, "NETFX", "9.9"); }, "9.9"},
      {"no version", [&] { return GetVersionDescription(hollin, "NETFX", ""); }, ""},
      {"property", [&] { return GetPropertyValue(hostile, "UpgradeCode"); },
       "'; DROP TABLE Property; --"},
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

TEST(LookupsTest, RequirementTextsReplaceTheListInDetectTableOrder) {
  Database db = Open("hollin");
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"Core", {"Microsoft .NET Framework from 4.0 (Full) to 4.8", "VCRT 14.0 or later"}},
      {"core", {"Microsoft .NET Framework any version", "SQL Server up to 2019"}},
      {"Extras", {}}};
  for (const auto& [feature, expected] : cases) {
    std::vector<std::string> texts = {"left over"};
    GetRequirementTexts(db, feature, texts);
    EXPECT_EQ(texts, expected) << feature;
  }
}

}  // namespace
}  // namespace pellacor::testing
