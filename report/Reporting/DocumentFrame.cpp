// The page's head, the header naming the product, and the footer.
#include <array>

#include "HtmlText.h"
#include "Lookups.h"
#include "PellacorInfo.h"
#include "Sections.h"

namespace pellacor {

void WriteHead(ReportRun& run) {
  run.Step([&] { run.Write("<HTML>"); });
  run.Step([&] { run.Write("<HEAD>"); });
  run.Step([&] {
    run.Write(
        "<meta http-equiv=\"Content-Type\" content=\"text/html; "
        "charset=windows-1252\">");
  });
  run.Step([&] {
    run.Write("<TITLE>SETUP REPORT - " + HtmlText(run.package_path) +
              "</TITLE>");
  });
  static constexpr std::array<const char*, 15> kStyle = {
      "<style>",
      "<!--",
      "h1            { font-family: Times }",
      "h2            { font-family: Times }",
      "h3            { font-family: Times }",
      "h4            { font-family: Times }",
      "h5            { font-family: Times }",
      "body          { font-family: Times }",
      "table         { font-family: Times }",
      "small         { font-family: Times }",
      "th            { background-color: #EEEEEE }",
      "-->",
      "</style>",
      "</HEAD>",
      "<BODY>"};
  for (const char* line : kStyle) run.Step([&] { run.Write(line); });
}

void WriteHeader(ReportRun& run) {
  auto property = [&](const char* name) {
    return HtmlText(GetPropertyValue(run.database, name));
  };
  run.Step([&] { run.Write("<H2>SETUP REPORT</H2>"); });
  run.Step([&] { run.Write("Setup: " + HtmlText(run.package_path) + "<BR>"); });
  run.Step([&] {
    run.Write("Setup Build: " + property("Setup_BuildCount") + "<BR>");
  });
  run.Step([&] {
    run.Write("Setup Date: " + property("Setup_ProjectDate") + "<BR>");
  });
  run.Step([&] { run.Write("<BR>"); });
  run.Step([&] { run.Write("Product Code: " + property("ProductCode") + "<BR>"); });
  run.Step([&] { run.Write("Upgrade Code: " + property("UpgradeCode") + "<BR>"); });
  run.Step([&] {
    std::string product = property("ProductName");
    std::string version = property("ProductVersion");
    run.Write("<H1>" + product + " build " + version + "</H1>");
  });
  run.Step([&] {
    run.Write("<H3>Copyright (C) " + property("Manufacturer") + "</H3>");
  });
}

void WriteEndOfReport(ReportRun& run) {
  run.SetCaption("Write end of report...");
  std::string footer;
  for (const char* piece : {"<br>", "<hr solid size=1>", "<center>", "<small>"}) {
    run.Step([&] { footer += piece; });
  }
  run.Step([&] {
    footer += std::string(info::kProductName) + " " + info::kVersion + "<br>";
  });
  run.Step([&] { footer += std::string(info::kCopyright) + "<br>"; });
  run.Step([&] {
    footer += std::string("<a href='") + info::kSite + "'>" + info::kSiteHost +
              "</a><br>";
  });
  run.Step([&] { footer += "</small>"; });
  run.Step([&] { footer += "</center>"; });
  run.Step([&] { run.Write(footer); });
  run.Step([&] { run.Write("</BODY>"); });
  run.Step([&] { run.Write("</HTML>"); });
}

}  // namespace pellacor
