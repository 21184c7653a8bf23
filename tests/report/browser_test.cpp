// The hostile package's report as a reader's browser shows it: headless
// Chromium loads the page; no script may run and every text must show as
// the package wrote it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>

#include "TestSupport.h"

namespace pellacor::testing {
namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

std::string DumpDom(const fs::path& page, const TempDir& dir) {
  fs::path profile = dir / "profile";
  fs::create_directory(profile);
  fs::path out = dir / "dom.txt";
  std::string command = std::string("timeout 120 ") + kChromium +
                        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                        " --disable-background-networking --disable-component-update"
                        " --disable-sync --user-data-dir='" + profile.string() +
                        "' --dump-dom 'file://" + page.string() + "' > '" + out.string() +
                        "' 2>/dev/null";
  int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << command;
  return ReadBytes(out);
}

TEST(BrowserTest, HostileReportRunsNoScriptAndShowsTextsAsWritten) {
  if (!fs::exists(kChromium)) {
    GTEST_SKIP() << kChromium << " is not installed (Debian package chromium)";
  }
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage("hostile"), dir);
  RunReport(package);
  std::string dom = DumpDom(dir / "hostile.html", dir);
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
