#include <gtest/gtest.h>

#include <QString>

#include "Recorders.h"
#include "msi/InstallerError.h"

namespace {

constexpr UINT kCodeWithoutDescription = 4242;

TEST(InstallerErrorText, DescribesKnownCodesWithoutTrailingWhiteSpace) {
  for (UINT code : {ERROR_BAD_QUERY_SYNTAX, ERROR_OPEN_FAILED, ERROR_NO_MORE_ITEMS}) {
    const std::u16string text = GetInstallerErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_FALSE(text.back() == u' ' || text.back() == u'\n' || text.back() == u'\r' || text.back() == u'\t')
        << code;
    EXPECT_EQ(text, std::u16string(MsiExtResultDescriptionW(code)).substr(0, text.size()));
  }
  EXPECT_TRUE(GetInstallerErrorText(kCodeWithoutDescription).empty());
}

TEST(InstallerErrorMessage, DetailedFormNamesFunctionCodeAndDescription) {
  const std::u16string description = GetInstallerErrorText(ERROR_BAD_QUERY_SYNTAX);
  EXPECT_EQ(InstallerErrorMessage(true, u"CopyRecords Source View", 1615, u""),
            u"Function: CopyRecords Source View\nError: 1615 (0x0000064F)\nDescription: " + description + u"\n");
  EXPECT_EQ(InstallerErrorMessage(true, u"CopyRecords Target View", 1615, u"SELECT `A` FROM T"),
            u"Function: CopyRecords Target View\nError: 1615 (0x0000064F)\nDescription: " + description +
                u"\n\nAdditional information:\n\nSELECT `A` FROM T");
}

TEST(InstallerErrorMessage, ShortFormIsTheDescriptionOrTheCode) {
  EXPECT_EQ(InstallerErrorMessage(false, u"F", 1615, u"info"), GetInstallerErrorText(1615));
  EXPECT_EQ(InstallerErrorMessage(false, u"F", kCodeWithoutDescription, u""), u"Error: 4242 (0x00001092)");
}

TEST(ShowInstallerError, CaptionAndIconFollowTheCode) {
  RecordingMessageBox box;
  ShowInstallerError(box, true, u"F", ERROR_SUCCESS, u"");
  ShowInstallerError(box, false, u"F", ERROR_SUCCESS_REBOOT_REQUIRED, u"");
  ShowInstallerError(box, false, u"F", ERROR_SUCCESS_REBOOT_INITIATED, u"");
  ShowInstallerError(box, true, u"F", ERROR_BAD_QUERY_SYNTAX, u"");
  ShowInstallerError(box, false, u"F", kCodeWithoutDescription, u"");
  ASSERT_EQ(box.shown.size(), 5u);
  for (const ShownMessage& shown : box.shown) EXPECT_EQ(shown.caption, QStringLiteral("Windows Installer"));
  EXPECT_EQ(box.shown[0].icon, MessageIcon::Information);
  EXPECT_EQ(box.shown[1].icon, MessageIcon::Information);
  EXPECT_EQ(box.shown[2].icon, MessageIcon::Information);
  EXPECT_EQ(box.shown[3].icon, MessageIcon::Error);
  EXPECT_EQ(box.shown[4].icon, MessageIcon::Error);
  EXPECT_EQ(box.shown[4].text, QStringLiteral("Error: 4242 (0x00001092)"));
  EXPECT_TRUE(box.shown[0].text.startsWith(QStringLiteral("Function: F\nError: 0 (0x00000000)\n")));
}

}  // namespace
