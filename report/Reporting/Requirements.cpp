// The system requirements section: the maker's requirement tables as one
// table, then the requirements of each feature in words.
#include "Common.h"
#include "HtmlText.h"
#include "Lookups.h"
#include "Sections.h"

namespace pellacor {

void WriteRequirementsSection(ReportRun& run) {
  Database& database = run.database;
  run.SetCaption("Write System Requirements information...");
  run.Step([&] { run.Write("<H2>System Requirements</H2>"); });
  if (!run.Test([&] { return TableExists(database, "HollinDetects"); })) {
    run.Step([&] {
      run.Write(WarningLine(
          "This installation package not used Brimble Setup System and "
          "Requirements Checking Engine!"));
    });
    return;
  }
  run.Step([&] { run.Write(kTableStart); });
  run.Step([&] {
    run.Write("<TR><TH>Feature</TH><TH>Requires</TH><TH>VerMin</TH><TH>VerMax</TH></TR>");
  });
  std::vector<std::string> features;
  View view;
  Record row;
  run.Step([&] {
    view = database.OpenView(
        "SELECT Feature,Requires,VerMin,VerMax FROM HollinRequirements ORDER "
        "BY Feature");
  });
  run.Step([&] { view.Execute(); });
  std::string feature;
  for (;;) {
    // A failed fetch ends the loop: there is no row to go on with.
    row = Record();
    run.Step([&] { row = view.Fetch(); });
    if (row.IsNothing()) break;
    run.Step([&] { feature = row.StringData(1); });
    run.Step([&] {
      run.Write("<TR><TD>" + HtmlText(row.StringData(1)) + "</TD><TD> " +
                HtmlText(row.StringData(2)) + "</TD><TD> " +
                HtmlText(row.StringData(3)) + "</TD><TD> " +
                HtmlText(row.StringData(4)) + "</TD></TR>");
    });
    if (run.Test([&] { return !IsInList(features, feature); })) {
      run.Step([&] { features.push_back(feature); });
    }
  }
  row = Record();
  run.Step([&] { view.Close(); });
  view = View();
  run.Step([&] { run.Write("</TABLE>"); });

  for (const std::string& key : features) {
    std::vector<std::string> texts;
    run.Step([&] { GetRequirementTexts(database, key, texts); });
    if (texts.empty()) continue;
    run.Step([&] {
      run.Write("<H3>" + HtmlText(GetFeatureTitle(database, key)) + "</H3>");
    });
    run.Step([&] { run.Write("<ul>"); });
    for (const std::string& text : texts) {
      run.Step([&] { run.Write("<li>" + HtmlText(text) + "</li>"); });
    }
    run.Step([&] { run.Write("</ul>"); });
  }
}

}  // namespace pellacor
