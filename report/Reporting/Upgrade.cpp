// The upgrade section: one row per upgrade rule, its version window in
// interval notation and its attribute bits as letters, then their legend.
#include "Common.h"
#include "HtmlText.h"
#include "Sections.h"

namespace pellacor {

namespace {
constexpr int kMigrateFeatures = 0x1;
constexpr int kOnlyDetect = 0x2;
constexpr int kIgnoreRemoveFailure = 0x4;
constexpr int kMinInclusive = 0x100;
constexpr int kMaxInclusive = 0x200;
constexpr int kLanguagesExclusive = 0x400;
}  // namespace

void WriteUpgradeSection(ReportRun& run) {
  Database& database = run.database;
  run.SetCaption("Write uprading information...");
  run.Step([&] { run.Write("<H2>Upgrade</H2>"); });
  if (!run.Test([&] { return TableExists(database, "Upgrade"); })) {
    run.Step([&] { run.Write(WarningLine("Upgrade table not found!")); });
    return;
  }
  run.Step([&] { run.Write(kTableStart); });
  run.Step([&] {
    run.Write(
        "<TR><TH>Upgrade Code</TH><TH>Version Range</TH><TH>Lang</TH>"
        "<TH>Attr</TH><TH>Remove</TH></TR>");
  });
  View view;
  Record row;
  run.Step([&] {
    view = database.OpenView(
        "SELECT UpgradeCode,VersionMin,VersionMax,Language,Attributes,Remove "
        "FROM Upgrade ORDER BY UpgradeCode");
  });
  run.Step([&] { view.Execute(); });
  std::string code, minimum, maximum, languages, remove;
  int attributes = 0;
  for (;;) {
    row = Record();
    run.Step([&] { row = view.Fetch(); });
    if (row.IsNothing()) break;
    run.Step([&] { code = row.StringData(1); });
    run.Step([&] { minimum = row.StringData(2); });
    run.Step([&] { maximum = row.StringData(3); });
    run.Step([&] { languages = row.StringData(4); });
    run.Step([&] { attributes = row.IntegerData(5); });
    run.Step([&] { remove = row.StringData(6); });
    bool min_inclusive = (attributes & kMinInclusive) != 0;
    bool max_inclusive = (attributes & kMaxInclusive) != 0;
    if (minimum.empty()) minimum = "...";
    if (maximum.empty()) maximum = "...";
    std::string range = min_inclusive ? "[" : "(";
    range += minimum + "," + maximum;
    range += max_inclusive ? "]" : ")";
    std::string letters;
    if (attributes & kMigrateFeatures) letters += "M";
    if (attributes & kOnlyDetect) letters += "D";
    if (attributes & kIgnoreRemoveFailure) letters += "I";
    if (attributes & kLanguagesExclusive) letters += "L";
    run.Step([&] {
      run.Write("<TR><TD>" + HtmlText(code) + "</TD><TD> " + HtmlText(range) +
                "</TD><TD> " + HtmlText(languages) + "</TD><TD> " + letters +
                "</TD><TD> " + HtmlText(remove) + "</TD></TR>");
    });
  }
  row = Record();
  run.Step([&] { view.Close(); });
  view = View();
  for (const char* line :
       {"</TABLE>", "<BLOCKQUOTE>", "<SMALL>", "<B>Attributes:</B></BR>",
        "M - Migrate feature states by enabling the logic in the "
        "MigrateFeatureStates action.<BR>",
        "D - Detect products and applications but do not install.<BR>",
        "I - Continue installation upon failure to remove a product or "
        "application.<BR>",
        "L - Detect all languages, excluding the languages listed in the "
        "Language column.<BR>",
        "</SMALL>", "</BLOCKQUOTE>"}) {
    run.Step([&] { run.Write(line); });
  }
}

}  // namespace pellacor
