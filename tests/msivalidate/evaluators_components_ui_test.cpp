// Evaluators of components, features, custom actions and dialogs: each message tripped
// once on an altered corpus package, and what their pages allow left unreported.
#include "validate_support.h"

namespace vt {
namespace {

constexpr const char* kPutty = "putty-0.68-installer.msi";
constexpr const char* kNunit = "nunit-2.5.2.msi";
constexpr Expect kQuiet = Expect::Absent;

const char* const kCreateFont =
    "CREATE TABLE `Font` (`File_` CHAR(72) NOT NULL, `FontTitle` CHAR(128) PRIMARY KEY `File_`)";
const char* const kCreateExtension =
    "CREATE TABLE `Extension` (`Extension` CHAR(255) NOT NULL, `Component_` CHAR(72) NOT NULL, "
    "`ProgId_` CHAR(255), `MIME_` CHAR(64), `Feature_` CHAR(38) NOT NULL "
    "PRIMARY KEY `Extension`, `Component_`)";
const char* const kCreateMime =
    "CREATE TABLE `MIME` (`ContentType` CHAR(64) NOT NULL, `Extension_` CHAR(255) NOT NULL, "
    "`CLSID` CHAR(38) PRIMARY KEY `ContentType`)";

std::string InsertMime(const char* type, const char* extension) {
  return std::string("INSERT INTO `MIME` (`ContentType`, `Extension_`) VALUES ('") + type + "', '" +
         extension + "')";
}

// An extension of PuTTY_Component; without a content type when `type` is null.
std::string InsertExtension(const std::string& extension, const char* type) {
  const std::string mime = type ? std::string(", `MIME_`") : "";
  const std::string value = type ? "', '" + std::string(type) : "";
  return "INSERT INTO `Extension` (`Extension`, `Component_`, `Feature_`" + mime + ") VALUES ('" + extension +
         "', 'PuTTY_Component', 'FilesFeature" + value + "')";
}

const EvaluatorCase kCases[] = {
    // A key path that belongs to another component, or to nothing; the
    // registry bit decides which table the key names.
    {"ICE02", kPutty,
     {"UPDATE `Component` SET `KeyPath` = 'PuTTY_File' WHERE `Component` = 'Plink_Component'"},
     "ICE02  ERROR    Component.KeyPath [Plink_Component]  File: 'PuTTY_File' cannot be the key file for "
     "Component: 'Plink_Component'. The file belongs to Component: 'PuTTY_Component'"},
    {"ICE02", kPutty,
     {"UPDATE `Component` SET `KeyPath` = 'NoSuchFile' WHERE `Component` = 'PSFTP_Component'"},
     "ICE02  ERROR    Component.KeyPath [PSFTP_Component]  File: 'NoSuchFile' cannot be the key file for "
     "Component: 'PSFTP_Component'. It is not in the File table"},
    {"ICE02", kPutty,
     {"UPDATE `Component` SET `Attributes` = 4 WHERE `Component` = 'README_Component'"},
     "ICE02  ERROR    Component.KeyPath [README_Component]  Registry: 'README_File' cannot be the key "
     "registry key for Component: 'README_Component'. It is not in the Registry table"},
    // Fonts outside the FontsFolder, named by title or, without one, by file.
    {"ICE07", kPutty,
     {kCreateFont, "INSERT INTO `Font` (`File_`, `FontTitle`) VALUES ('README_File', 'Tahoma')"},
     "ICE07  ERROR    Font.File_ [README_File]  'Tahoma' is a font and must be installed to the FontsFolder "
     "directory. Current Install Directory: 'INSTALLDIR'."},
    {"ICE07", kPutty,
     {kCreateFont, "INSERT INTO `Font` (`File_`) VALUES ('LICENCE_File')",
      "INSERT INTO `Font` (`File_`) VALUES ('NoSuchFile')"},
     "ICE07  ERROR    Font.File_ [LICENCE_File]  'LICENCE_File' is a font and must be installed to the "
     "FontsFolder directory. Current Install Directory: 'INSTALLDIR'."},
    // A system component that is not permanent.
    {"ICE09", kPutty,
     {"UPDATE `Component` SET `Directory_` = 'SystemFolder' WHERE `Component` = 'PSCP_Component'"},
     "ICE09  WARNING  Component.Attributes [PSCP_Component]  Component: 'PSCP_Component' is a non-permanent "
     "system component: it installs into the SystemFolder but its Permanent attribute is not set."},
    // A child that disallows advertising under a parent that favors it (the
    // reverse is allowed); a parent that is not there.
    {"ICE10", kPutty,
     {"UPDATE `Feature` SET `Attributes` = 4 WHERE `Feature` = 'FilesFeature'",
      "UPDATE `Feature` SET `Feature_Parent` = 'FilesFeature' WHERE `Feature` = 'DesktopFeature'"},
     "ICE10  ERROR    Feature.Attributes [DesktopFeature]  Conflicting states, one favors, one disallows. "
     "Child: DesktopFeature differs in advertise state from Parent: FilesFeature."},
    {"ICE10", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'FilesFeature', `Attributes` = 4 "
      "WHERE `Feature` = 'PPKFeature'"},
     "[PPKFeature]", {}, kQuiet},
    {"ICE10", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'NoSuchFeature' WHERE `Feature` = 'PPKFeature'"},
     "ICE10  ERROR    Feature.Feature_Parent [PPKFeature]  Parent feature: 'NoSuchFeature' not found for "
     "child feature: 'PPKFeature'."},
    // Directory-setting custom actions around CostFinalize; a property that
    // names no directory may be set at any time.
    {"ICE12", kPutty,
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
      "VALUES ('SetMyFolder', 35, 'MyFolder', '[TempFolder]')"},
     "ICE12  ERROR    CustomAction.Source [SetMyFolder]  Folder 'MyFolder' not found in Directory table"},
    {"ICE12", kPutty,
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
      "VALUES ('SetInstallDir', 291, 'INSTALLDIR', '[TempFolder]')",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetInstallDir', 900)"},
     "ICE12  ERROR    InstallExecuteSequence.Sequence [SetInstallDir]  Sequence '900' comes before "
     "CostFinalize in the InstallExecuteSequence table. It must come after (CF@1000)"},
    {"ICE12", kPutty,
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
      "VALUES ('SetInstallDirProperty', 51, 'INSTALLDIR', '[TempFolder]')",
      "INSERT INTO `InstallUISequence` (`Action`, `Sequence`) VALUES ('SetInstallDirProperty', 1100)"},
     "ICE12  ERROR    InstallUISequence.Sequence [SetInstallDirProperty]  Sequence '1100' comes after "
     "CostFinalize in the InstallUISequence table. It must come before (CF@1000)"},
    {"ICE12", kPutty,
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
      "VALUES ('SetInstallDir', 35, 'INSTALLDIR', '[TempFolder]')",
      "DELETE FROM `AdminExecuteSequence` WHERE `Action` = 'CostFinalize'",
      "INSERT INTO `AdminExecuteSequence` (`Action`, `Sequence`) VALUES ('SetInstallDir', 1100)"},
     "ICE12  ERROR    AdminExecuteSequence.Action [SetInstallDir]  CostFinalize is missing from the "
     "AdminExecuteSequence table. Custom action 'SetInstallDir' of type 35 needs it"},
    {"ICE12", kPutty,
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('SetFlag', 51, 'FLAG', '1')",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetFlag', 1100)"},
     "[SetFlag]", {}, kQuiet},
    // A directory set after CostFinalize, or with a negative sequence (never run in order).
    {"ICE12", kPutty,
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
      "VALUES ('SetInstallDir', 35, 'INSTALLDIR', '[TempFolder]')",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetInstallDir', 1001)",
      "INSERT INTO `InstallUISequence` (`Action`, `Sequence`) VALUES ('SetInstallDir', -1)"},
     "[SetInstallDir]", {}, kQuiet},
    // A dialog in an execute sequence.
    {"ICE13", kPutty,
     {"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WelcomeDlg', 1500)"},
     "ICE13  ERROR    InstallExecuteSequence.Action [WelcomeDlg]  Dialog 'WelcomeDlg' cannot be listed in "
     "the 'InstallExecuteSequence' table."},
    // A feature that is its own parent; a root feature (one that is its own
    // parent counts) that follows its parent.
    {"ICE14", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'PathFeature' WHERE `Feature` = 'PathFeature'"},
     "ICE14  ERROR    Feature.Feature_Parent [PathFeature]  Feature 'PathFeature' has the same value in the "
     "Feature and Feature_Parent columns of the Feature table."},
    {"ICE14", kPutty,
     {"UPDATE `Feature` SET `Attributes` = 12 WHERE `Feature` = 'DesktopFeature'"},
     "ICE14  ERROR    Feature.Attributes [DesktopFeature]  Root feature 'DesktopFeature' has the "
     "msidbFeatureAttributesFollowParent bit set."},
    {"ICE14", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'PathFeature', `Attributes` = 4 "
      "WHERE `Feature` = 'PathFeature'"},
     "ICE14  ERROR    Feature.Attributes [PathFeature]  Root feature 'PathFeature' has the "
     "msidbFeatureAttributesFollowParent bit set."},
    {"ICE14", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'FilesFeature', `Attributes` = 12 "
      "WHERE `Feature` = 'PPKFeature'"},
     "[PPKFeature]", {}, kQuiet},
    // Content types and extensions that do not name each other back.
    {"ICE15", kPutty,
     {kCreateExtension, kCreateMime, InsertMime("test/x-test", "tst"), InsertMime("flaps/x-flaps", "flp"),
      InsertExtension("tst", "flaps/x-flaps"), InsertExtension("flp", nullptr)},
     "ICE15  ERROR    MIME.Extension_ [test/x-test]  The content type test/x-test in the MIME table "
     "references the extension tst, but the extension tst in the Extension table references flaps/x-flaps. "
     "This is not reciprocal."},
    {"ICE15", kPutty,
     {kCreateExtension, kCreateMime, InsertMime("flaps/x-flaps", "flp"), InsertExtension("flp", nullptr)},
     "ICE15  ERROR    MIME.Extension_ [flaps/x-flaps]  The content type flaps/x-flaps references the "
     "extension flp, but that extension has a Null entry in the MIME_ column of the Extension table."},
    // Two content types may share an extension that names one of them, but
    // a third extension naming one of them is not named back.
    {"ICE15", kPutty,
     {kCreateExtension, kCreateMime, InsertMime("text/x-a", "txt"), InsertMime("text/x-b", "txt"),
      InsertExtension("txt", "text/x-b"), InsertExtension("doc", "text/x-a")},
     "ICE15  ERROR    Extension.MIME_ [doc, PuTTY_Component]  The extension doc in the Extension table "
     "references the content type text/x-a, but the content type text/x-a in the MIME table references txt. "
     "This is not reciprocal."},
    {"ICE15", kPutty,
     {kCreateExtension, kCreateMime, InsertMime("text/x-a", "txt"), InsertMime("text/x-b", "txt"),
      InsertExtension("txt", "text/x-b"), InsertMime("text/x-c", "doc"), InsertExtension("doc", "text/x-c"),
      InsertExtension("htm", "text/x-c")},
     "ICE15", {}, kQuiet},
    // Push buttons without events, once they can be pressed: a hidden or
    // disabled one needs none.
    {"ICE17", kPutty,
     {"INSERT INTO `ControlCondition` (`Dialog_`, `Control_`, `Action`, `Condition`) "
      "VALUES ('FatalError', 'Back', 'Enable', 'Installed')"},
     "ICE17  ERROR    Control.Control [FatalError, Back]  PushButton: Back of Dialog: FatalError does not "
     "have an event defined in the ControlEvent table."},
    {"ICE17", kPutty,
     {"DELETE FROM `ControlEvent` WHERE `Dialog_` = 'CancelDlg'",
      "UPDATE `Control` SET `Attributes` = 1 WHERE `Dialog_` = 'CancelDlg' AND `Control` = 'No'",
      "UPDATE `Control` SET `Attributes` = 2 WHERE `Dialog_` = 'CancelDlg' AND `Control` = 'Yes'",
      "INSERT INTO `ControlCondition` (`Dialog_`, `Control_`, `Action`, `Condition`) "
      "VALUES ('CancelDlg', 'No', 'Disable', '1')"},
     "[CancelDlg", {}, kQuiet},
    // Pictures missing from the Binary table, named directly or by a
    // property; one set only at run time has nothing to check.
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Text` = 'NoSuchBitmap' WHERE `Dialog_` = 'FatalError' AND `Control` = 'Bitmap'"},
     "ICE17  ERROR    Control.Text [FatalError, Bitmap]  Bitmap: NoSuchBitmap of Control: Bitmap of Dialog: "
     "FatalError is not in the Binary table."},
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Text` = '[IconProperty]' WHERE `Dialog_` = 'CancelDlg' AND `Control` = 'Icon'",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('IconProperty', 'MissingIcon')"},
     "ICE17  ERROR    Control.Text [CancelDlg, Icon]  Icon: MissingIcon of Control: Icon of Dialog: "
     "CancelDlg is not in the Binary table."},
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Text` = '[BannerProperty]' WHERE `Type` = 'Bitmap'",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('BannerProperty', 'WixUI_Bmp_Banner')",
      "UPDATE `Control` SET `Text` = '[SetAtRunTime]' WHERE `Type` = 'Icon'"},
     "Binary table", {}, kQuiet},
    // List-like controls whose property has no rows to fill them, unless it
    // is indirect.
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Property` = 'NoRadioProperty' "
      "WHERE `Dialog_` = 'MsiRMFilesInUse' AND `Control` = 'ShutdownOption'"},
     "ICE17  WARNING  Control.Property [MsiRMFilesInUse, ShutdownOption]  RadioButtonGroup: NoRadioProperty "
     "of Control: ShutdownOption of Dialog: MsiRMFilesInUse is not in the RadioButton table."},
    {"ICE17", kPutty,
     {"INSERT INTO `Control` (`Dialog_`, `Control`, `Type`, `X`, `Y`, `Width`, `Height`, `Attributes`, "
      "`Property`) VALUES ('FatalError', 'Combo', 'ComboBox', 0, 0, 10, 10, 3, 'COMBOPROPERTY')"},
     "ICE17  WARNING  Control.Property [FatalError, Combo]  ComboBox: COMBOPROPERTY of Control: Combo of "
     "Dialog: FatalError is not in the ComboBox table."},
    {"ICE17", kPutty,
     {"INSERT INTO `Control` (`Dialog_`, `Control`, `Type`, `X`, `Y`, `Width`, `Height`, `Attributes`, "
      "`Property`) VALUES ('FatalError', 'IndirectCombo', 'ComboBox', 0, 0, 10, 10, 11, 'OTHERPROPERTY')"},
     "[FatalError, IndirectCombo]", {}, kQuiet},
    // Picture buttons: both kinds at once, or a picture that is not there.
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Attributes` = 3932163 "
      "WHERE `Dialog_` = 'BrowseDlg' AND `Control` = 'WixUI_Bmp_Up'"},
     "ICE17  ERROR    Control.Attributes [BrowseDlg, WixUI_Bmp_Up]  Picture control: 'WixUI_Bmp_Up' of "
     "Dialog: 'BrowseDlg' has both the Icon and Bitmap attributes set"},
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Text` = 'NoIcon' WHERE `Dialog_` = 'BrowseDlg' AND `Control` = 'NewFolder'"},
     "ICE17  ERROR    Control.Text [BrowseDlg, NewFolder]  Icon: 'NoIcon' for Control: 'NewFolder' of "
     "Dialog: 'BrowseDlg' not found in Binary table"},
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Attributes` = 262147 "
      "WHERE `Dialog_` = 'MsiRMFilesInUse' AND `Control` = 'ShutdownOption'",
      "UPDATE `RadioButton` SET `Text` = 'WixUI_Bmp_New' WHERE `Property` = 'WixUIRMOption' AND `Order` = 1",
      "UPDATE `RadioButton` SET `Text` = 'NoBitmap' WHERE `Property` = 'WixUIRMOption' AND `Order` = 2"},
     "ICE17  ERROR    RadioButton.Text [WixUIRMOption, 2]  Bitmap: 'NoBitmap' for Control: 'ShutdownOption' "
     "of Dialog: 'MsiRMFilesInUse' not found in Binary table"},
    // A directory key path whose folder nothing fills or creates: a file
    // duplicated into another folder does not fill it; a file does.
    {"ICE18", kPutty,
     {"UPDATE `Component` SET `KeyPath` = NULL, `Attributes` = 0 WHERE `Component` = 'Path_Component'",
      "CREATE TABLE `DuplicateFile` (`FileKey` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL, "
      "`File_` CHAR(72) NOT NULL, `DestName` CHAR(255), `DestFolder` CHAR(72) PRIMARY KEY `FileKey`)",
      "INSERT INTO `DuplicateFile` (`FileKey`, `Component_`, `File_`, `DestFolder`) "
      "VALUES ('Copy', 'Path_Component', 'PuTTY_File', 'DesktopFolder')"},
     "ICE18  ERROR    Component.Directory_ [Path_Component]  KeyPath for Component: 'Path_Component' is "
     "Directory: 'INSTALLDIR'. The Directory/Component pair must be listed in the CreateFolder table."},
    {"ICE18", "example.msi",
     {"UPDATE `Component` SET `KeyPath` = NULL WHERE `Component` = 'MainExecutable'"},
     "[MainExecutable]", {}, kQuiet},
    {"ICE18", kPutty,
     {"UPDATE `Component` SET `KeyPath` = NULL, `Directory_` = 'SystemFolder' "
      "WHERE `Component` = 'Website_Component'"},
     "ICE18  ERROR    Component.KeyPath [Website_Component]  KeyPath for Component: 'Website_Component' is "
     "Directory: 'SystemFolder'. That folder is on every system, so the component would always look "
     "installed; use a file, registry entry or ODBC data source as its key path."},
    // Advertised entries whose component cannot be advertised; a shortcut
    // may point at a directory.
    {"ICE19", kPutty,
     {"UPDATE `Shortcut` SET `Target` = 'FilesFeature' WHERE `Shortcut` = 'DesktopPuTTY'"},
     "ICE19  ERROR    Shortcut.Component_ [DesktopPuTTY]  Shortcut DesktopPuTTY references the component "
     "Desktop_Shortcut_Component which references a Registry entry as the key path. The value of the "
     "Attributes column in the Component table is 4."},
    {"ICE19", kPutty,
     {"UPDATE `Component` SET `KeyPath` = NULL, `Attributes` = 0 "
      "WHERE `Component` = 'Desktop_Shortcut_Component'",
      "UPDATE `Shortcut` SET `Target` = 'DesktopFeature' WHERE `Shortcut` = 'DesktopPuTTY'"},
     "[DesktopPuTTY]", {}, kQuiet},
    {"ICE19", kPutty,
     {kCreateExtension, "UPDATE `Component` SET `ComponentId` = NULL WHERE `Component` = 'PuTTY_Component'",
      InsertExtension("ppk", nullptr)},
     "ICE19  ERROR    Extension.Component_ [ppk, PuTTY_Component]  Extension ppk references the component "
     "PuTTY_Component which does not have a ComponentId specified in the Component table."},
    {"ICE19", kPutty,
     {kCreateExtension, "UPDATE `Component` SET `KeyPath` = NULL WHERE `Component` = 'PuTTY_Component'",
      InsertExtension("ppk", nullptr)},
     "ICE19  ERROR    Extension.Component_ [ppk, PuTTY_Component]  Extension ppk references the component "
     "PuTTY_Component which references a directory as its KeyPath. The KeyPath is Null in the Component "
     "table."},
    {"ICE19", kPutty,
     {"UPDATE `Shortcut` SET `Target` = 'FilesFeature' WHERE `Shortcut` = 'startmenuPuTTY'",
      "UPDATE `Component` SET `Attributes` = 32 WHERE `Component` = 'PuTTY_Component'"},
     "ICE19  ERROR    Shortcut.Component_ [startmenuPuTTY]  Shortcut startmenuPuTTY references the component "
     "PuTTY_Component which references an ODBC data source as the key path. The value of the Attributes "
     "column in the Component table is 32."},
    // The files-in-use dialog: its list and its three ways out.
    {"ICE20", kPutty,
     {"DROP TABLE `ListBox`"},
     "ICE20  ERROR    Dialog.Dialog [FilesInUse]  The FilesInUse dialog needs a ListBox table."},
    {"ICE20", kPutty,
     {"UPDATE `Control` SET `Property` = 'OtherProperty' "
      "WHERE `Dialog_` = 'FilesInUse' AND `Control` = 'List'"},
     "ICE20  ERROR    Dialog.Dialog [FilesInUse]  The FilesInUse dialog has no ListBox control with the "
     "property FileInUseProcess."},
    {"ICE20", kNunit,
     {"DELETE FROM `ControlEvent` WHERE `Dialog_` = 'FilesInUse' AND `Control_` = 'Retry'"},
     "ICE20  ERROR    Dialog.Dialog [FilesInUse]  The FilesInUse dialog has no PushButton control with the "
     "EndDialog event and the argument Retry."},
    // The error dialog: its text, its buttons and their events, their size.
    {"ICE20", kPutty,
     {"DELETE FROM `Control` WHERE `Dialog_` = 'ErrorDlg' AND `Control` = 'ErrorText'"},
     "ICE20  ERROR    Dialog.Dialog [ErrorDlg]  Error dialog 'ErrorDlg' has no Text control named "
     "ErrorText."},
    {"ICE20", kPutty,
     {"UPDATE `Dialog` SET `Control_First` = 'A' WHERE `Dialog` = 'ErrorDlg'"},
     "ICE20  ERROR    Dialog.Control_First [ErrorDlg]  Error dialog 'ErrorDlg' must have ErrorText in its "
     "Control_First column."},
    {"ICE20", kPutty,
     {"DELETE FROM `Control` WHERE `Dialog_` = 'ErrorDlg' AND `Control` = 'Y'"},
     "ICE20  ERROR    Dialog.Dialog [ErrorDlg]  Error dialog 'ErrorDlg' has no PushButton control named Y."},
    {"ICE20", kPutty,
     {"DELETE FROM `ControlEvent` WHERE `Dialog_` = 'ErrorDlg' AND `Control_` = 'N'",
      "INSERT INTO `ControlEvent` (`Dialog_`, `Control_`, `Event`, `Argument`, `Condition`, `Ordering`) "
      "VALUES ('ErrorDlg', 'N', 'EndDialog', 'ErrorYes', '1', 1)"},
     "ICE20  ERROR    Control.Control [ErrorDlg, N]  PushButton N of Error dialog 'ErrorDlg' has no "
     "EndDialog event with the argument ErrorNo."},
    {"ICE20", kPutty,
     {"UPDATE `Control` SET `Height` = 20 WHERE `Dialog_` = 'ErrorDlg' AND `Control` = 'O'"},
     "ICE20  ERROR    Control.Height [ErrorDlg, O]  PushButton O of Error dialog 'ErrorDlg' differs in "
     "Height from button A: all its buttons must have the same width, height and Y."},
    {"ICE20", kPutty,
     {"UPDATE `Control` SET `Type` = 'Bitmap' WHERE `Dialog_` = 'ErrorDlg' AND `Control` = 'ErrorIcon'"},
     "ICE20  ERROR    Control.Type [ErrorDlg, ErrorIcon]  The ErrorIcon control of Error dialog 'ErrorDlg' "
     "must have Icon in the Type column."},
    // The property that names the error dialog.
    {"ICE20", kPutty,
     {"UPDATE `Property` SET `Value` = 'CancelDlg' WHERE `Property` = 'ErrorDialog'"},
     "ICE20  ERROR    Dialog.Attributes [CancelDlg]  Dialog 'CancelDlg' is named by the ErrorDialog property "
     "but does not have the Error dialog style bit set."},
    {"ICE20", kPutty,
     {"UPDATE `Property` SET `Value` = 'NoSuchDlg' WHERE `Property` = 'ErrorDialog'"},
     "ICE20  ERROR    Property.Value [ErrorDialog]  The ErrorDialog property names dialog 'NoSuchDlg', which "
     "is not in the Dialog table."},
    // The dialogs that end each UI sequence; a custom action may end one.
    {"ICE20", kPutty,
     {"DELETE FROM `InstallUISequence` WHERE `Action` = 'UserExit'"},
     "ICE20  ERROR    InstallUISequence.Sequence  The InstallUISequence table has no UserExit dialog: no "
     "dialog or custom action with -2 in the Sequence column."},
    {"ICE20", kPutty,
     {"DELETE FROM `InstallUISequence` WHERE `Action` = 'ExitDialog'",
      "INSERT INTO `InstallUISequence` (`Action`, `Sequence`) VALUES ('WixUIValidatePath', -1)"},
     "ICE20", {}, kQuiet},
    // A limited UI needs none of these dialogs.
    {"ICE20", kPutty,
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('LIMITUI', '1')",
      "DELETE FROM `InstallUISequence` WHERE `Action` = 'UserExit'",
      "DELETE FROM `Control` WHERE `Dialog_` = 'ErrorDlg' AND `Control` = 'Y'"},
     "ICE20", {}, kQuiet},
    // A component no feature brings.
    {"ICE21", kPutty,
     {"DELETE FROM `FeatureComponents` WHERE `Component_` = 'Website_Component'"},
     "ICE21  ERROR    Component.Component [Website_Component]  Component: 'Website_Component' does not "
     "belong to any Feature."},
    // A published component whose feature does not bring its component.
    {"ICE22", kPutty,
     {"CREATE TABLE `PublishComponent` (`ComponentId` CHAR(38) NOT NULL, `Qualifier` CHAR(255) NOT NULL, "
      "`Component_` CHAR(72) NOT NULL, `AppData` CHAR(255), `Feature_` CHAR(38) NOT NULL PRIMARY KEY "
      "`ComponentId`, `Qualifier`, `Component_`)",
      "INSERT INTO `PublishComponent` (`ComponentId`, `Qualifier`, `Component_`, `Feature_`) VALUES "
      "('{00000003-0004-0000-0000-624474732465}', 'q', 'Path_Component', 'FilesFeature')"},
     "ICE22  ERROR    PublishComponent.Feature_ [{00000003-0004-0000-0000-624474732465}, q, Path_Component]  "
     "PublishComponent: {00000003-0004-0000-0000-624474732465} does not have the correct mapping for the "
     "Feature_ and Component_ columns: Feature 'FilesFeature' and Component 'Path_Component' are not mapped "
     "to each other in the FeatureComponents table."},
    // Tab orders: where they start, where they end, what they link to. One
    // control linked to itself is a whole loop.
    {"ICE23", "example.msi",
     {"CREATE TABLE `Dialog` (`Dialog` CHAR(72) NOT NULL, `Control_First` CHAR(50) PRIMARY KEY `Dialog`)",
      "CREATE TABLE `Control` (`Dialog_` CHAR(72) NOT NULL, `Control` CHAR(50) NOT NULL, "
      "`Control_Next` CHAR(50) PRIMARY KEY `Dialog_`, `Control`)",
      "INSERT INTO `Dialog` (`Dialog`) VALUES ('Dialog1')"},
     "ICE23  ERROR    Dialog.Control_First [Dialog1]  Dialog1 has no Control_First."},
    {"ICE23", kPutty,
     {"UPDATE `Dialog` SET `Control_First` = 'NoSuchControl' WHERE `Dialog` = 'WelcomeDlg'"},
     "ICE23  ERROR    Dialog.Control_First [WelcomeDlg]  Control_First of dialog WelcomeDlg refers to "
     "nonexistent control NoSuchControl."},
    {"ICE23", kPutty,
     {"UPDATE `Control` SET `Control_Next` = NULL WHERE `Dialog_` = 'WelcomeDlg' AND `Control` = 'Back'"},
     "ICE23  ERROR    Control.Control_Next [WelcomeDlg, Back]  WelcomeDlg has dead-end tab order at control "
     "Back."},
    // A loop that closes before it went through every linked control.
    {"ICE23", kPutty,
     {"UPDATE `Control` SET `Control_Next` = 'Cancel' "
      "WHERE `Dialog_` = 'WelcomeDlg' AND `Control` = 'Title'"},
     "ICE23  ERROR    Control.Control_Next [WelcomeDlg, Back]  WelcomeDlg has malformed tab order at control "
     "Back."},
    {"ICE23", kNunit,
     {"UPDATE `Control` SET `Control_Next` = 'Nowhere' "
      "WHERE `Dialog_` = 'WelcomeDlg' AND `Control` = 'Bitmap'"},
     "ICE23  ERROR    Control.Control_Next [WelcomeDlg, Bitmap]  Control_Next of control WelcomeDlg.Bitmap "
     "links to unknown control."},
    {"ICE23", kPutty,
     {"UPDATE `Control` SET `Control_Next` = NULL WHERE `Dialog_` = 'CancelDlg'",
      "UPDATE `Control` SET `Control_Next` = 'No' WHERE `Dialog_` = 'CancelDlg' AND `Control` = 'No'"},
     "[CancelDlg", {}, kQuiet},
};

EVALUATOR_CASES(ComponentsUiEvaluators, kCases);

}  // namespace
}  // namespace vt
