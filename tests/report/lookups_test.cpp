// The package lookups on fixture packages: folder display paths, feature
// titles, requirement texts, properties and tables.
#include <gtest/gtest.h>

#include "Common.h"
#include "Lookups.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

class LookupsTest : public ::testing::Test {
 protected:
  Database Open(const std::string& fixture) {
    return Installer().OpenDatabase(FixturePackage(fixture).string(), Installer::kReadOnly);
  }
};

TEST_F(LookupsTest, NamePartPicksShortOrLong) {
  EXPECT_EQ(GetNamePart("PROGRA~1|Program Files", false), "Program Files");
  EXPECT_EQ(GetNamePart("PROGRA~1|Program Files", true), "PROGRA~1");
  EXPECT_EQ(GetNamePart("Program Files", true), "Program Files");
  EXPECT_EQ(GetNamePart("|odd", false), "|odd");
  EXPECT_EQ(GetNamePart("a|b|c", false), "b|c");
  EXPECT_EQ(GetNamePart("", false), "");
}

TEST_F(LookupsTest, DirectoryPathsFollowTheParentChain) {
  Database db = Open("directories");
  auto path = [&](const std::string& key) {
    return GetDirectoryPath(db, key, true, false, true);
  };
  EXPECT_EQ(path("TARGETDIR"), "[TARGETDIR]");
  EXPECT_EQ(path("TargetDir"), "[TargetDir]");
  EXPECT_EQ(path("ProgramFilesFolder"), "[ProgramFilesFolder]");
  EXPECT_EQ(path("APPDIR"), "[ProgramFilesFolder]My App\\");
  EXPECT_EQ(path("SAMEDIR"), "[ProgramFilesFolder]My App\\");
  EXPECT_EQ(path("BINDIR"), "[ProgramFilesFolder]My App\\Binaries\\");
  EXPECT_EQ(path("DATA"), "Data\\");
  EXPECT_EQ(path("SELF"), "Self\\");
  EXPECT_EQ(path("ORPHAN"), "Orphan\\");
  EXPECT_EQ(path("NOWHERE"), "");
  EXPECT_EQ(path("NoSuchFolder"), "[NoSuchFolder]");
}

TEST_F(LookupsTest, DirectoryPathOptionsPickSourceShortAndPlainRoots) {
  Database db = Open("directories");
  EXPECT_EQ(GetDirectoryPath(db, "BINDIR", false, false, true),
            "[ProgramFilesFolder]My App\\Source Binaries\\");
  EXPECT_EQ(GetDirectoryPath(db, "BINDIR", true, true, true), "[ProgramFilesFolder]MYAPP\\BIN\\");
  EXPECT_EQ(GetDirectoryPath(db, "APPDIR", true, false, false), "[TARGETDIR]PFiles\\My App\\");
}

TEST_F(LookupsTest, DirectoryCycleIsAFailureForEveryKeyOnIt) {
  Database db = Open("directory_cycle");
  DirectoryPaths paths(db, true, false, true);
  for (const char* key : {"A", "B", "C", "A"}) {
    try {
      paths.PathOf(key);
      ADD_FAILURE() << key << " lies on or under a cycle";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), 28);
      EXPECT_EQ(failure.description(), "Out of stack space (directory cycle through A)");
    }
  }
  EXPECT_EQ(paths.PathOf("D"), "[TARGETDIR]Good\\");
}

TEST_F(LookupsTest, MissingDirectoryTableFailsEveryLookup) {
  Database db = Open("missing_tables");
  DirectoryPaths paths(db, true, false, true);
  for (int i = 0; i < 2; ++i) {
    try {
      paths.PathOf("APPDIR");
      ADD_FAILURE() << "no Directory table";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), 1615);
      EXPECT_EQ(failure.description().rfind("OpenView: ", 0), 0u);
    }
  }
  EXPECT_EQ(paths.PathOf("ProgramFilesFolder"), "[ProgramFilesFolder]");
}

TEST_F(LookupsTest, FeatureTitlesAndRequirementTexts) {
  Database db = Open("hollin");
  EXPECT_EQ(GetFeatureTitle(db, "Core"), "Core Files");
  EXPECT_EQ(GetFeatureTitle(db, "core"), "core");
  EXPECT_EQ(GetFeatureTitle(db, "CORE"), "");
  EXPECT_EQ(GetVersionDescription(db, "NETFX", "4.0"), "4.0 (Full)");
  EXPECT_EQ(GetVersionDescription(db, "VCRT", "14.0"), "14.0");
  EXPECT_EQ(GetVersionDescription(db, "NETFX", "9.9"), "9.9");
  EXPECT_EQ(GetVersionDescription(db, "NETFX", ""), "");

  std::vector<std::string> texts = {"left over"};
  GetRequirementTexts(db, "Core", texts);
  EXPECT_EQ(texts, (std::vector<std::string>{"Microsoft .NET Framework from 4.0 (Full) to 4.8",
                                             "VCRT 14.0 or later"}));
  GetRequirementTexts(db, "core", texts);
  // Rows of one feature come in the detect table's row order.
  EXPECT_EQ(texts, (std::vector<std::string>{"Microsoft .NET Framework any version",
                                             "SQL Server up to 2019"}));
  GetRequirementTexts(db, "Extras", texts);
  EXPECT_TRUE(texts.empty());
}

TEST_F(LookupsTest, PropertiesAndTablesByValueNotByPastedText) {
  Database db = Open("hostile");
  EXPECT_EQ(GetPropertyValue(db, "UpgradeCode"), "'; DROP TABLE Property; --");
  EXPECT_EQ(GetPropertyValue(db, "NoSuchProperty"), "");
  EXPECT_EQ(GetPropertyValue(db, "x' OR Property<>'"), "");
  EXPECT_EQ(GetFeatureTitle(db, "O'Brien"), "<i>Tools</i> & more");
  EXPECT_TRUE(TableExists(db, "Property"));
  EXPECT_TRUE(TableExists(db, "HollinDetects"));
  EXPECT_FALSE(TableExists(db, "Upgrade' OR `Name`<>'"));
  Database plain = Open("ordinary");
  EXPECT_FALSE(TableExists(plain, "HollinDetects"));
  EXPECT_FALSE(TableExists(plain, "upgrade"));
  EXPECT_TRUE(TableExists(plain, "Upgrade"));
}

TEST_F(LookupsTest, LookupsOnAnUnopenedDatabaseFail) {
  Database none;
  EXPECT_THROW(GetPropertyValue(none, "ProductName"), Failure);
  EXPECT_THROW(TableExists(none, "Upgrade"), Failure);
}

}  // namespace
}  // namespace pellacor::testing
