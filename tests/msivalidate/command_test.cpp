// The command as scripts and people use it: options, exit status, the two
// output formats, and text from the package that must not forge output.
#include <nlohmann/json.hpp>


#include "validate_support.h"

namespace vt {
namespace {

struct CommandCase {
  const char* name;
  // "@PKG": a copy of putty as it is; "@NUNIT": of nunit, which has ICE08
  // errors and only ICE82 warnings; "@MSP": a patch; "@BAD": no package.
  std::vector<std::string> args;
  int exit_code;
  const char* stderr_has;
};

const CommandCase kCommandCases[] = {
    {"NoPackage", {}, 2, "no package given"},
    {"UnknownOption", {"--frobnicate", "@PKG"}, 2, "unknown option --frobnicate"},
    {"OptionWithoutValue", {"@PKG", "--ice"}, 2, "--ice needs a value"},
    {"NotAnEvaluatorName", {"--ice", "ICE3x", "@PKG"}, 2, "not an evaluator name: 'ICE3x'"},
    {"NumberOutsideTheSuite", {"--ice", "11", "@PKG"}, 2, "ICE11 is not an evaluator of the suite"},
    {"UnknownFormat", {"--format", "xml", "@PKG"}, 2, "unknown format 'xml'"},
    {"MissingFile", {"/nonexistent/x.msi"}, 3, "x.msi: cannot open: error 110"},
    {"NotAPackage", {"@BAD"}, 3, "cannot open: error"},
    {"UnreadableWinsOverErrors", {"@PKG", "@BAD"}, 3, "cannot open"},
    {"PatchIsNoPackage", {"@MSP"}, 3, "a patch (.msp)"},
    {"CleanPackage", {"--ice", "ICE08", "@PKG"}, 0, ""},
    {"Errors", {"--ice", "ICE08", "@NUNIT"}, 1, ""},
    {"SkipWinsOverIce", {"--ice", "ICE08", "--skip", "8", "@NUNIT"}, 0, ""},
    {"WarningsAlone", {"--ice", "ICE82", "@NUNIT"}, 0, ""},
    {"WarningsAsErrors", {"--warnings-as-errors", "--ice", "ICE82", "@NUNIT"}, 1, ""},
};

TEST(Command, ExitStatusAndMessages) {
  REQUIRE_CORPUS();
  ts::TempDir dir;
  const std::map<std::string, fs::path> files = {
      {"@PKG", Altered(dir, "putty-0.68-installer.msi", {})},
      {"@NUNIT", Altered(dir, "nunit-2.5.2.msi", {})},
      {"@MSP", Altered(dir, "WPF2_32.msp", {})},
      {"@BAD", dir / "bad.msi"}};
  ts::WriteText(dir / "bad.msi", "this is not a compound file\n");
  for (const CommandCase& c : kCommandCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(files.count(a) ? files.at(a).string() : a);
    const ts::RunResult r = Validate(args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe() << "\n" << r.err;
    EXPECT_NE(r.err.find(c.stderr_has), std::string::npos) << r.err;
  }
}

TEST(Command, ListNamesTheWholeSuiteInOrder) {
  const ts::RunResult r = Validate({"--list"});
  ASSERT_EQ(r.exit_code, 0) << r.Describe();
  int last = 0, lines = 0, built = 0;
  std::istringstream in(r.out);
  for (std::string text; std::getline(in, text); ++lines) {
    const bool is_built = Matches(text, "ICE#  *built  *") && !Matches(text, "ICE#  *not built  *");
    ASSERT_TRUE(is_built || Matches(text, "ICE#  *not built  *")) << text;
    const int number = std::stoi(text.substr(3));
    EXPECT_GT(number, last) << text;
    last = number;
    built += is_built;
  }
  EXPECT_EQ(last, 105);
  EXPECT_GE(lines, 100);
  EXPECT_GE(built, 1);
}

TEST(Command, SummaryLineCountsEachSeverity) {
  REQUIRE_CORPUS();
  ts::TempDir dir;
  const fs::path package = Altered(dir, "putty-0.68-installer.msi",
                                   {"UPDATE `Component` SET `ComponentId` = "
                                    "'{00000000-0000-0000-0000-0000000000B3}'"});
  const ts::RunResult r = Validate({"--ice", "ICE08", package.string()});
  const size_t at = r.out.rfind("putty-0.68-installer.msi: ");
  ASSERT_NE(at, std::string::npos) << r.out;
  const std::string summary = r.out.substr(at);
  ASSERT_TRUE(Matches(summary, "putty-0.68-installer.msi: # errors, 0 warnings, 0 infos (# ms)\n")) << summary;
  EXPECT_EQ(std::stoul(summary.substr(summary.find(": ") + 2)),
            FindingLines(package, {"--ice", "ICE08"}).size());
}

// Keys and messages carry package text: tabs, line ends and escape
// sequences come out escaped in lines and intact in SARIF.
TEST(Command, HostileKeysAreEscapedInTextAndExactInSarif) {
  REQUIRE_CORPUS();
  const std::string hostile = "evil\tkey\nICE99  ERROR  forged\x1b[2J";
  ts::TempDir dir;
  const fs::path package = Altered(
      dir, "putty-0.68-installer.msi",
      {"INSERT INTO `Component` (`Component`, `ComponentId`, `Directory_`, `Attributes`) VALUES ('" +
           hostile + "', '{DE4A4E0C-1F6B-4C79-9A45-5A5B9C3E1C31}', 'INSTALLDIR', 0)",
       "UPDATE `Component` SET `ComponentId` = '{DE4A4E0C-1F6B-4C79-9A45-5A5B9C3E1C31}' "
       "WHERE `Component` = 'PuTTY_Component'"});
  const ts::RunResult text = Validate({"--ice", "ICE08", package.string()});
  EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(text.out.find('\t'), std::string::npos);
  EXPECT_NE(text.out.find(R"(evil\tkey\nICE99  ERROR  forged\x1b[2J)"), std::string::npos)
      << text.out;
  std::istringstream lines(text.out);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.rfind("ICE08  ", 0) == 0 || line.find(": 1 error") != std::string::npos)
        << line;

  const ts::RunResult sarif = Validate({"--format", "sarif", "--ice", "ICE08", package.string()});
  const auto log = nlohmann::json::parse(sarif.out);
  bool found = false;
  for (const auto& result : log["runs"][0]["results"]) {
    for (const auto& key : result["properties"]["keys"]) found |= key == hostile;
    found |= result["message"]["text"].get<std::string>().find(hostile) != std::string::npos;
  }
  EXPECT_TRUE(found) << sarif.out;
}

// The SARIF log is valid against the format's published schema and carries
// each finding whole: rule, level, message, location and the row's keys.
TEST(Command, SarifIsValidAndCarriesEachFinding) {
  REQUIRE_CORPUS();
  ts::TempDir dir;
  const fs::path package = Altered(dir, "putty-0.68-installer.msi",
                                   {"UPDATE `Component` SET `ComponentId` = "
                                    "'{00000000-0000-0000-0000-0000000000B4}' "
                                    "WHERE `Component` = 'Pageant_Component' OR "
                                    "`Component` = 'PSFTP_Component'"});
  const ts::RunResult r = Validate({"--format", "sarif", package.string(), "/nonexistent.msi"});
  ASSERT_EQ(r.exit_code, 3) << r.err;
  ts::WriteText(dir / "log.sarif", r.out);
  const std::string check =
      "import json,sys,jsonschema\n"
      "jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))\n";
  const ts::RunResult valid = ts::Run(
      {MSIVALIDATE_PYTHON, "-c", check, (dir / "log.sarif").string(), MSIVALIDATE_SARIF_SCHEMA});
  EXPECT_EQ(valid.exit_code, 0) << valid.Describe() << "\n" << valid.err;

  const auto run = nlohmann::json::parse(r.out)["runs"][0];
  EXPECT_EQ(run["invocations"][0]["executionSuccessful"], false);
  bool found = false;
  for (const auto& result : run["results"]) {
    if (result["ruleId"] != "ICE08" ||
        result["properties"]["keys"] != nlohmann::json::array({"PSFTP_Component"}))
      continue;
    found = true;
    EXPECT_EQ(result["level"], "error");
    EXPECT_EQ(result["properties"]["table"], "Component");
    EXPECT_EQ(result["properties"]["column"], "ComponentId");
    EXPECT_EQ(result["locations"][0]["logicalLocations"][0]["fullyQualifiedName"],
              "Component.ComponentId");
    EXPECT_NE(result["message"]["text"].get<std::string>().find("Pageant_Component"),
              std::string::npos);
  }
  EXPECT_TRUE(found) << r.out;
}

}  // namespace
}  // namespace vt
