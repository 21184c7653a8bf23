// Command-line text, file names beside the package, and text on its way
// into the page.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Common.h"
#include "Failure.h"
#include "HtmlText.h"
#include "PackagePaths.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

TEST(CommandLineTest, ArgumentsJoinWithSingleBlanks) {
  const char* none[] = {"pellacor"};
  const char* one[] = {"pellacor", "/x/App.msi"};
  const char* split[] = {"pellacor", "/x/Setup", "Files/App.msi"};
  const char* empty_args[] = {"pellacor", "", ""};
  EXPECT_EQ(JoinArguments(1, none), "");
  EXPECT_EQ(JoinArguments(2, one), "/x/App.msi");
  EXPECT_EQ(JoinArguments(3, split), "/x/Setup Files/App.msi");
  EXPECT_EQ(JoinArguments(3, empty_args), " ");
}

TEST(CommandLineTest, StripQuotesRemovesOneEnclosingPairAtMost) {
  EXPECT_EQ(StripQuotes("\"/x/Setup Files/App.msi\""), "/x/Setup Files/App.msi");
  EXPECT_EQ(StripQuotes("/x/Setup Files/App.msi"), "/x/Setup Files/App.msi");
  EXPECT_EQ(StripQuotes("\"\""), "");
  EXPECT_EQ(StripQuotes("\""), "\"");
  EXPECT_EQ(StripQuotes(""), "");
  EXPECT_EQ(StripQuotes("\"/x/App.msi"), "/x/App.msi");
  EXPECT_EQ(StripQuotes("/x/App.msi\""), "/x/App.msi\"");
  EXPECT_EQ(StripQuotes("\"a.msi\" \"b.msi\""), "a.msi\" \"b.msi");
  EXPECT_EQ(StripQuotes("\"\"\"x\"\"\""), "\"\"x\"\"");
  EXPECT_EQ(StripQuotes("\"a\"b\""), "a\"b");
}

TEST(PackagePathsTest, ReportNameReplacesEveryMsiInAnyCase) {
  EXPECT_EQ(ReportPathFor("/b/Setup.MSI"), "/b/Setup.html");
  EXPECT_EQ(ReportPathFor("/b/Setup.msi"), "/b/Setup.html");
  EXPECT_EQ(ReportPathFor("/e/a.msi/App.msi"), "/e/a.html/App.html");
  EXPECT_EQ(ReportPathFor("/e/a.MsI/App.mSi"), "/e/a.html/App.html");
  EXPECT_EQ(ReportPathFor("App.msi"), "App.html");
}

TEST(PackagePathsTest, PathsWithoutMsiNeverNameThePackage) {
  EXPECT_EQ(ReportPathFor("/p/Project.wsi"), "/p/Project.wsi.html");
  EXPECT_EQ(ReportPathFor("/p/package"), "/p/package.html");
  EXPECT_EQ(ReplaceMsiExtension("/p/Project.wsi", ".~bin"), "/p/Project.wsi.~bin");
  EXPECT_EQ(ReplaceMsiExtension("/b/Setup.MSI", ".~bin"), "/b/Setup.~bin");
  EXPECT_EQ(ReplaceMsiExtension("/m/Module.msm", ".html"), "/m/Module.msm.html");
}

TEST(PackagePathsTest, AReportNameThatIsThePackageThroughALinkIsAvoided) {
  TempDir dir;
  WriteBytes(dir / "App.msi", "package bytes");
  fs::create_symlink(dir / "App.msi", dir / "App.html");
  EXPECT_EQ(ReportPathFor((dir / "App.msi").string()), (dir / "App.msi.html").string());
}

TEST(PackagePathsTest, TemporaryStreamFileLeavesForeignFilesAlone) {
  TempDir dir;
  std::string package = (dir / "Setup.msi").string();
  TempStreamFile plain(package);
  EXPECT_EQ(plain.Path(), (dir / "Setup.~bin").string());

  WriteBytes(dir / "Setup.~bin", "somebody else's");
  WriteBytes(dir / "Setup-2.~bin", "and another");
  TempStreamFile taken(package);
  EXPECT_EQ(taken.Path(), (dir / "Setup-3.~bin").string());
  // Once the run has created its file, the name stays while it is ours.
  WriteBytes(dir / "Setup-3.~bin", "ours");
  taken.SetOurs(true);
  EXPECT_EQ(taken.Path(), (dir / "Setup-3.~bin").string());

  TempStreamFile project((dir / "Project.wsi").string());
  EXPECT_EQ(project.Path(), (dir / "Project.wsi.~bin").string());
}

TEST(FilesTest, FileExistsOnlyForFiles) {
  TempDir dir;
  WriteBytes(dir / "a.msi", "x");
  EXPECT_TRUE(FileExists((dir / "a.msi").string()));
  EXPECT_FALSE(FileExists(dir.path().string()));
  EXPECT_FALSE(FileExists((dir / "none.msi").string()));
  EXPECT_FALSE(FileExists(""));
}

TEST(FilesTest, DeleteFileDeletesReadOnlyFilesAndFailsOnMissingOnes) {
  TempDir dir;
  fs::path file = dir / "ro.~bin";
  WriteBytes(file, "x");
  chmod(file.c_str(), 0444);
  DeleteFile(file.string());
  EXPECT_FALSE(fs::exists(file));
  try {
    DeleteFile(file.string());
    ADD_FAILURE() << "deleting a missing file must fail";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 53);
    EXPECT_EQ(failure.description(), "File not found");
  }
}

TEST(FilesTest, IsInListComparesWholeTextsWithCase) {
  EXPECT_TRUE(IsInList({"App\\", "Data\\"}, "App\\"));
  EXPECT_FALSE(IsInList({"APP\\"}, "App\\"));
  EXPECT_FALSE(IsInList({}, ""));
  EXPECT_FALSE(IsInList({"App\\x"}, "App\\"));
}

TEST(SumsTest, AdditionsBeyondThirtyTwoBitsAreOverflows) {
  EXPECT_EQ(CheckedAdd(2147483600, 47), 2147483647);
  EXPECT_EQ(CheckedAdd(-5, 3), -2);
  for (auto [a, b] : {std::pair{2147483647, 1}, std::pair{2000000000, 1000000000},
                      std::pair{-2147483647 - 1, -1}}) {
    try {
      CheckedAdd(a, b);
      ADD_FAILURE() << a << " + " << b;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), 6);
      EXPECT_EQ(failure.description(), "Overflow");
    }
  }
}

TEST(HtmlTextTest, EscapesTheFiveMarkupCharacters) {
  EXPECT_EQ(HtmlText("<script>alert('x')</script>"),
            "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;");
  EXPECT_EQ(HtmlText("Tom & \"Jerry\""), "Tom &amp; &quot;Jerry&quot;");
  EXPECT_EQ(HtmlText("&amp;"), "&amp;amp;");
  EXPECT_EQ(HtmlText("[ProgramFilesFolder]My App\\"), "[ProgramFilesFolder]My App\\");
}

TEST(HtmlTextTest, PageBytesAreWindows1252WithReferencesForTheRest) {
  EXPECT_EQ(EncodeWindows1252("plain ASCII"), "plain ASCII");
  EXPECT_EQ(EncodeWindows1252("caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x94"),
            "caf\xE9 \x80 \x97");
  EXPECT_EQ(EncodeWindows1252("\xCE\x95\xCE\xBB"), "&#917;&#955;");
  EXPECT_EQ(EncodeWindows1252("\xE6\x97\xA5"), "&#26085;");
  EXPECT_EQ(EncodeWindows1252("\xF0\x9F\x98\x80"), "&#128512;");
  // Code points of the bytes that windows-1252 leaves unused.
  EXPECT_EQ(EncodeWindows1252("\xC2\x81\xC2\x8D"), "&#129;&#141;");
}

TEST(HtmlTextTest, BrokenUtf8AndLineBreaksCannotBreakTheLines) {
  EXPECT_EQ(EncodeWindows1252("a\xFF" "b"), "a&#65533;b");
  EXPECT_EQ(EncodeWindows1252("\xC3"), "&#65533;");
  EXPECT_EQ(EncodeWindows1252("\xED\xA0\x80"), "&#65533;&#65533;&#65533;");
  EXPECT_EQ(EncodeWindows1252("\xC0\xAF"), "&#65533;&#65533;");
  EXPECT_EQ(EncodeWindows1252("one\r\ntwo\ttab"), "one&#13;&#10;two\ttab");
  EXPECT_EQ(EncodeWindows1252(std::string("nul\0", 4)), "nul&#65533;");
}

}  // namespace
}  // namespace pellacor::testing
