// The hostile package's report as a reader's browser shows it: headless
// Chromium loads the page; no script may run and every text must show as
// the package wrote it.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace pellacor::testing {
namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

TEST(BrowserTest, HostileReportRunsNoScriptAndShowsTextsAsWritten) {
  if (!fs::exists(kChromium)) {
    GTEST_SKIP() << kChromium << " is not installed (Debian package chromium)";
  }
  TempDir dir;
  RunReport(CopyFixture("hostile", dir, "hostile.msi"));
  ts::RunOptions options;
  options.limit = std::chrono::seconds(120);
  ts::RunResult run = ts::Run(
      {kChromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
       "--no-first-run", "--disable-background-networking", "--disable-component-update",
       "--disable-sync", "--user-data-dir=" + (dir / "profile").string(), "--dump-dom",
       "file://" + (dir / "hostile.html").string()},
      options);
  ASSERT_EQ(run.exit_code, 0) << run.Describe();
  const std::string& dom = run.out;
  ASSERT_NE(dom.find("</html>"), std::string::npos) << dom.substr(0, 400);
  // Scripts would have renamed the page; none is in the document at all.
  EXPECT_EQ(dom.find("PWNED</title>"), std::string::npos);
  EXPECT_NE(dom.find("<title>SETUP REPORT - "), std::string::npos);
  EXPECT_EQ(dom.find("<script"), std::string::npos);
  EXPECT_EQ(dom.find("<img"), std::string::npos);
  // The DOM serializer writes < > & in text as entities; the rest as is.
  for (const char* shown : {
           "&lt;script&gt;document.title='PWNED'&lt;/script&gt;Ελληνικά build 1.0 日本語 €",
           "Copyright (C) Tom &amp; Jerry \"Ltd\" 'n' &lt;Sons&gt;",
           "Setup Build: &lt;img src=x onerror=\"document.title='PWNED'\"&gt;",
           "Setup Date: 2026 &amp;amp; later",
           "Upgrade Code: '; DROP TABLE Property; --",
           "&lt;img src=x onerror=alert(1)&gt;.txt",
           "a&amp;b.txt",
           "[TARGETDIR]Quote's &lt;dir&gt; &amp; Co\\",
           "[TARGETDIR]Ελληνικά\\",
           "日本語.txt",
           "&lt;i&gt;x&amp;'\"&lt;i&gt;",
       }) {
    EXPECT_NE(dom.find(shown), std::string::npos) << "not shown: " << shown;
  }
}

}  // namespace
}  // namespace pellacor::testing
