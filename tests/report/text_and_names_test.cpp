// Command-line text, file names beside the package, sums, and text on its
// way into the page: one table of inputs and their answers. (Markup
// characters are the hostile package's kept page.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Common.h"
#include "Failure.h"
#include "HtmlText.h"
#include "Lookups.h"
#include "PackagePaths.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

std::string Sum(int a, int b) {
  try {
    return std::to_string(CheckedAdd(a, b));
  } catch (const Failure& failure) {
    return std::to_string(failure.number()) + " " + failure.description();
  }
}

TEST(TextTest, AnswersForEachInput) {
  struct Case {
    std::string got, expected;
  };
  const Case cases[] = {
      // At most one enclosing pair of quotes goes; an opening one alone too.
      {StripQuotes("\"/x/Setup Files/App.msi\""), "/x/Setup Files/App.msi"},
      {StripQuotes("\"\""), ""},
      {StripQuotes("\""), "\""},
      {StripQuotes(""), ""},
      {StripQuotes("\"/x/App.msi"), "/x/App.msi"},
      {StripQuotes("/x/App.msi\""), "/x/App.msi\""},
      {StripQuotes("\"a.msi\" \"b.msi\""), "a.msi\" \"b.msi"},
      {StripQuotes("\"\"\"x\"\"\""), "\"\"x\"\""},
      // Every .msi in any case, folders included; otherwise appended.
      {ReportPathFor("/b/Setup.MSI"), "/b/Setup.html"},
      {ReportPathFor("/e/a.MsI/App.mSi"), "/e/a.html/App.html"},
      {ReportPathFor("/p/package"), "/p/package.html"},
      {ReplaceMsiExtension("/p/Project.wsi", ".~bin"), "/p/Project.wsi.~bin"},
      {ReplaceMsiExtension("/b/Setup.MSI", ".~bin"), "/b/Setup.~bin"},
      {GetNamePart("PROGRA~1|Program Files", false), "Program Files"},
      {GetNamePart("PROGRA~1|Program Files", true), "PROGRA~1"},
      {GetNamePart("|odd", false), "|odd"},
      {GetNamePart("a|b|c", false), "b|c"},
      {Sum(2147483600, 47), "2147483647"},
      {Sum(2147483647, 1), "6 Overflow"},
      {Sum(2000000000, 1000000000), "6 Overflow"},
      {Sum(-2147483647 - 1, -1), "6 Overflow"},
      // The page is windows-1252; other characters become references.
      {EncodeWindows1252("caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x94"), "caf\xE9 \x80 \x97"},
      {EncodeWindows1252("\xCE\x95\xCE\xBB"), "&#917;&#955;"},
      {EncodeWindows1252("\xE6\x97\xA5"), "&#26085;"},
      {EncodeWindows1252("\xF0\x9F\x98\x80"), "&#128512;"},
      {EncodeWindows1252("\xC2\x81\xC2\x8D"), "&#129;&#141;"},  // unused in windows-1252
      // Broken UTF-8 and line breaks cannot break the page's lines.
      {EncodeWindows1252("a\xFF" "b"), "a&#65533;b"},
      {EncodeWindows1252("\xC3"), "&#65533;"},
      {EncodeWindows1252("\xED\xA0\x80"), "&#65533;&#65533;&#65533;"},
      {EncodeWindows1252("\xC0\xAF"), "&#65533;&#65533;"},
      {EncodeWindows1252("one\r\ntwo\ttab"), "one&#13;&#10;two\ttab"},
      {EncodeWindows1252(std::string("nul\0", 4)), "nul&#65533;"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].got, cases[i].expected) << "case " << i;
  }
}

TEST(FilesTest, LinkedReportNameAndReadOnlyTemporaryFile) {
  TempDir dir;
  const std::string package = (dir / "Setup.msi").string();
  ts::WriteText(package, "package bytes");
  // A report name that is the package through a link is not used.
  fs::create_symlink(package, dir / "Setup.html");
  EXPECT_EQ(ReportPathFor(package), (dir / "Setup.msi.html").string());
  ts::WriteText(dir / "Setup.~bin", "stream");
  chmod((dir / "Setup.~bin").c_str(), 0444);
  DeleteFile((dir / "Setup.~bin").string());
  EXPECT_FALSE(fs::exists(dir / "Setup.~bin"));
}

}  // namespace
}  // namespace pellacor::testing
