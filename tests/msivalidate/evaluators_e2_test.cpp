// Evaluators of components, features, custom actions and the dialogs,
// each tripped on an altered corpus package.
#include <algorithm>
#include <cctype>

#include "validate_support.h"

namespace vt {
namespace {

constexpr const char* kPutty = "putty-0.68-installer.msi";
constexpr const char* kNunit = "nunit-2.5.2.msi";

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
std::string InsertExtension(const char* extension, const char* type) {
  if (!type)
    return std::string("INSERT INTO `Extension` (`Extension`, `Component_`, `Feature_`) VALUES ('") +
           extension + "', 'PuTTY_Component', 'FilesFeature')";
  return std::string("INSERT INTO `Extension` (`Extension`, `Component_`, `MIME_`, `Feature_`) VALUES ('") +
         extension + "', 'PuTTY_Component', '" + type + "', 'FilesFeature')";
}

// A control of FatalError (the dialog's other columns do not matter here).
std::string InsertControl(const char* control, const char* type, int attributes, const char* property) {
  return std::string(
             "INSERT INTO `Control` (`Dialog_`, `Control`, `Type`, `X`, `Y`, `Width`, `Height`, "
             "`Attributes`, `Property`) VALUES ('FatalError', '") +
         control + "', '" + type + "', 0, 0, 10, 10, " + std::to_string(attributes) + ", '" + property +
         "')";
}

const EvaluatorCase kCases[] = {
    // A key path that belongs to another component, or to nothing.
    {"ICE02", kPutty,
     {"UPDATE `Component` SET `KeyPath` = 'PuTTY_File' WHERE `Component` = 'Plink_Component'"},
     "ICE02  ERROR    Component.KeyPath [Plink_Component]  File: 'PuTTY_File' cannot be the key file for "
     "Component: 'Plink_Component'. The file belongs to Component: 'PuTTY_Component'"},
    {"ICE02", kPutty,
     {"UPDATE `Component` SET `KeyPath` = 'regA0B7A3C013764F0100B49682FBF6C717' "
      "WHERE `Component` = 'Path_Component'"},
     "ICE02  ERROR    Component.KeyPath [Path_Component]  Registry: 'regA0B7A3C013764F0100B49682FBF6C717' "
     "cannot be the key registry key for Component: 'Path_Component'. The RegKey belongs to Component: "
     "'PPK_Assoc_Component'"},
    {"ICE02", kPutty,
     {"UPDATE `Component` SET `KeyPath` = 'NoSuchFile' WHERE `Component` = 'PSFTP_Component'"},
     "ICE02  ERROR    Component.KeyPath [PSFTP_Component]  File: 'NoSuchFile' cannot be the key file for "
     "Component: 'PSFTP_Component'. It is not in the File table"},
    // The registry bit decides which table the key names.
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

    // A component in the SystemFolder that is not permanent.
    {"ICE09", kPutty,
     {"UPDATE `Component` SET `Directory_` = 'SystemFolder' WHERE `Component` = 'PSCP_Component'",
      "UPDATE `Component` SET `Directory_` = 'SystemFolder', `Attributes` = 16 "
      "WHERE `Component` = 'Plink_Component'"},
     "ICE09  WARNING  Component.Attributes [PSCP_Component]  Component: 'PSCP_Component' is a non-permanent "
     "system component: it installs into the SystemFolder but its Permanent attribute is not set."},
    // Directory-setting custom actions around CostFinalize.
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
      "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
      "VALUES ('SetOtherProperty', 51, 'NOTADIR', '1')",
      "INSERT INTO `InstallUISequence` (`Action`, `Sequence`) VALUES ('SetInstallDirProperty', 1100)",
      "INSERT INTO `InstallUISequence` (`Action`, `Sequence`) VALUES ('SetOtherProperty', 1100)"},
     "ICE12  ERROR    InstallUISequence.Sequence [SetInstallDirProperty]  Sequence '1100' comes after "
     "CostFinalize in the InstallUISequence table. It must come before (CF@1000)"},
    {"ICE12", kPutty,
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
      "VALUES ('SetInstallDir', 35, 'INSTALLDIR', '[TempFolder]')",
      "DELETE FROM `AdminExecuteSequence` WHERE `Action` = 'CostFinalize'",
      "INSERT INTO `AdminExecuteSequence` (`Action`, `Sequence`) VALUES ('SetInstallDir', 1100)"},
     "ICE12  ERROR    AdminExecuteSequence.Action [SetInstallDir]  CostFinalize is missing from the "
     "AdminExecuteSequence table. Custom action 'SetInstallDir' of type 35 needs it"},

    // A dialog in an execute sequence.
    {"ICE13", kPutty,
     {"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WelcomeDlg', 1500)"},
     "ICE13  ERROR    InstallExecuteSequence.Action [WelcomeDlg]  Dialog 'WelcomeDlg' cannot be listed in "
     "the 'InstallExecuteSequence' table."},
    {"ICE13", kNunit,
     {"INSERT INTO `AdminExecuteSequence` (`Action`, `Sequence`) VALUES ('ErrorDlg', 10)"},
     "ICE13  ERROR    AdminExecuteSequence.Action [ErrorDlg]  Dialog 'ErrorDlg' cannot be listed in "
     "the 'AdminExecuteSequence' table."},

    // A feature that is its own parent; a root feature that follows its parent.
    {"ICE14", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'PathFeature' WHERE `Feature` = 'PathFeature'"},
     "ICE14  ERROR    Feature.Feature_Parent [PathFeature]  Feature 'PathFeature' has the same value in the "
     "Feature and Feature_Parent columns of the Feature table."},
    {"ICE14", kPutty,
     {"UPDATE `Feature` SET `Attributes` = 12 WHERE `Feature` = 'DesktopFeature'",
      "UPDATE `Feature` SET `Feature_Parent` = 'FilesFeature', `Attributes` = 12 "
      "WHERE `Feature` = 'PPKFeature'"},
     "ICE14  ERROR    Feature.Attributes [DesktopFeature]  Root feature 'DesktopFeature' has the "
     "msidbFeatureAttributesFollowParent bit set."},
    {"ICE14", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'PathFeature', `Attributes` = 4 WHERE `Feature` = 'PathFeature'"},
     "ICE14  ERROR    Feature.Attributes [PathFeature]  Root feature 'PathFeature' has the "
     "msidbFeatureAttributesFollowParent bit set."},
    // Content types and extensions that do not name each other back.
    {"ICE15", kPutty,
     {kCreateExtension, kCreateMime, InsertMime("test/x-test", "tst"), InsertMime("flaps/x-flaps", "flp"),
      InsertExtension("tst", "flaps/x-flaps"), InsertExtension("flp", nullptr)},
     "ICE15  ERROR    MIME.Extension_ [test/x-test]  The content type test/x-test in the MIME table "
     "references the extension tst, but the extension tst in the Extension table references "
     "flaps/x-flaps. This is not reciprocal."},
    {"ICE15", kPutty,
     {kCreateExtension, kCreateMime, InsertMime("test/x-test", "tst"), InsertMime("flaps/x-flaps", "flp"),
      InsertExtension("tst", "flaps/x-flaps"), InsertExtension("flp", nullptr)},
     "ICE15  ERROR    MIME.Extension_ [flaps/x-flaps]  The content type flaps/x-flaps references the "
     "extension flp, but that extension has a Null entry in the MIME_ column of the Extension table."},
    // Two content types may share an extension that names one of them, but
    // a third extension naming one of them is not named back.
    {"ICE15", kPutty,
     {kCreateExtension, kCreateMime, InsertMime("text/x-a", "txt"), InsertMime("text/x-b", "txt"),
      InsertExtension("txt", "text/x-b"), InsertExtension("doc", "text/x-a")},
     "ICE15  ERROR    Extension.MIME_ [doc, PuTTY_Component]  The extension doc in the Extension table "
     "references the content type text/x-a, but the content type text/x-a in the MIME table references "
     "txt. This is not reciprocal."},
    // Push buttons without events, once they can be pressed.
    {"ICE17", kPutty,
     {"DELETE FROM `ControlEvent` WHERE `Dialog_` = 'CancelDlg' AND `Control_` = 'No'"},
     "ICE17  ERROR    Control.Control [CancelDlg, No]  PushButton: No of Dialog: CancelDlg does not have an "
     "event defined in the ControlEvent table."},
    {"ICE17", kPutty,
     {"INSERT INTO `ControlCondition` (`Dialog_`, `Control_`, `Action`, `Condition`) "
      "VALUES ('FatalError', 'Back', 'Enable', 'Installed')"},
     "ICE17  ERROR    Control.Control [FatalError, Back]  PushButton: Back of Dialog: FatalError does not "
     "have an event defined in the ControlEvent table."},
    // Pictures missing from the Binary table, named directly or by a property.
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Text` = 'NoSuchBitmap' WHERE `Dialog_` = 'FatalError' AND `Control` = 'Bitmap'"},
     "ICE17  ERROR    Control.Text [FatalError, Bitmap]  Bitmap: NoSuchBitmap of Control: Bitmap of Dialog: "
     "FatalError is not in the Binary table."},
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Text` = '[IconProperty]' WHERE `Dialog_` = 'CancelDlg' AND `Control` = 'Icon'",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('IconProperty', 'MissingIcon')"},
     "ICE17  ERROR    Control.Text [CancelDlg, Icon]  Icon: MissingIcon of Control: Icon of Dialog: CancelDlg "
     "is not in the Binary table."},
    // List-like controls whose property has no rows to fill them.
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Property` = 'NoRadioProperty' "
      "WHERE `Dialog_` = 'MsiRMFilesInUse' AND `Control` = 'ShutdownOption'"},
     "ICE17  WARNING  Control.Property [MsiRMFilesInUse, ShutdownOption]  RadioButtonGroup: NoRadioProperty of "
     "Control: ShutdownOption of Dialog: MsiRMFilesInUse is not in the RadioButton table."},
    {"ICE17", kPutty,
     {InsertControl("Combo", "ComboBox", 3, "COMBOPROPERTY"),
      InsertControl("IndirectCombo", "ComboBox", 11, "OTHERPROPERTY")},
     "ICE17  WARNING  Control.Property [FatalError, Combo]  ComboBox: COMBOPROPERTY of Control: Combo of "
     "Dialog: FatalError is not in the ComboBox table."},
    {"ICE17", kPutty,
     {InsertControl("View", "ListView", 3, "VIEWPROPERTY")},
     "ICE17  WARNING  Control.Property [FatalError, View]  ListView: VIEWPROPERTY of Control: View of Dialog: "
     "FatalError is not in the ListView table."},
    {"ICE17", kNunit,
     {InsertControl("List", "ListBox", 3, "LISTPROPERTY")},
     "ICE17  WARNING  Control.Property [FatalError, List]  ListBox: LISTPROPERTY of Control: List of Dialog: "
     "FatalError is not in the ListBox table."},
    // Picture buttons: both kinds at once, or a picture that is not there.
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Attributes` = 3932163 WHERE `Dialog_` = 'BrowseDlg' AND `Control` = 'WixUI_Bmp_Up'"},
     "ICE17  ERROR    Control.Attributes [BrowseDlg, WixUI_Bmp_Up]  Picture control: 'WixUI_Bmp_Up' of Dialog: "
     "'BrowseDlg' has both the Icon and Bitmap attributes set"},
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Text` = 'NoIcon' WHERE `Dialog_` = 'BrowseDlg' AND `Control` = 'NewFolder'"},
     "ICE17  ERROR    Control.Text [BrowseDlg, NewFolder]  Icon: 'NoIcon' for Control: 'NewFolder' of Dialog: "
     "'BrowseDlg' not found in Binary table"},
    {"ICE17", kPutty,
     {"UPDATE `Control` SET `Attributes` = 262147 "
      "WHERE `Dialog_` = 'MsiRMFilesInUse' AND `Control` = 'ShutdownOption'",
      "UPDATE `RadioButton` SET `Text` = 'WixUI_Bmp_New' WHERE `Property` = 'WixUIRMOption' AND `Order` = 1",
      "UPDATE `RadioButton` SET `Text` = 'NoBitmap' WHERE `Property` = 'WixUIRMOption' AND `Order` = 2"},
     "ICE17  ERROR    RadioButton.Text [WixUIRMOption, 2]  Bitmap: 'NoBitmap' for Control: 'ShutdownOption' of "
     "Dialog: 'MsiRMFilesInUse' not found in Binary table"},
    // A directory key path whose folder nothing fills or creates; a removed
    // file in the folder counts as filling it, a duplicate elsewhere does not.
    {"ICE18", kPutty,
     {"UPDATE `Component` SET `KeyPath` = NULL, `Attributes` = 0 "
      "WHERE `Component` = 'Desktop_Shortcut_Component' OR `Component` = 'ProgramMenuDir'"},
     "ICE18  ERROR    Component.Directory_ [Desktop_Shortcut_Component]  KeyPath for Component: "
     "'Desktop_Shortcut_Component' is Directory: 'DesktopFolder'. The Directory/Component pair must be "
     "listed in the CreateFolder table."},
    {"ICE18", kPutty,
     {"UPDATE `Component` SET `KeyPath` = NULL, `Attributes` = 0 WHERE `Component` = 'Path_Component'",
      "CREATE TABLE `DuplicateFile` (`FileKey` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL, "
      "`File_` CHAR(72) NOT NULL, `DestName` CHAR(255), `DestFolder` CHAR(72) PRIMARY KEY `FileKey`)",
      "INSERT INTO `DuplicateFile` (`FileKey`, `Component_`, `File_`, `DestFolder`) "
      "VALUES ('Copy', 'Path_Component', 'PuTTY_File', 'DesktopFolder')"},
     "ICE18  ERROR    Component.Directory_ [Path_Component]  KeyPath for Component: 'Path_Component' is "
     "Directory: 'INSTALLDIR'. The Directory/Component pair must be listed in the CreateFolder table."},
    {"ICE18", kPutty,
     {"UPDATE `Component` SET `KeyPath` = NULL, `Directory_` = 'SystemFolder' "
      "WHERE `Component` = 'Website_Component'"},
     "ICE18  ERROR    Component.KeyPath [Website_Component]  KeyPath for Component: 'Website_Component' is "
     "Directory: 'SystemFolder'. That folder is on every system, so the component would always look "
     "installed; use a file, registry entry or ODBC data source as its key path."},
    // Advertised entries whose component cannot be advertised.
    {"ICE19", kPutty,
     {"UPDATE `Shortcut` SET `Target` = 'FilesFeature' WHERE `Shortcut` = 'DesktopPuTTY'",
      "UPDATE `Shortcut` SET `Target` = 'FilesFeature' WHERE `Shortcut` = 'startmenuPuTTY'"},
     "ICE19  ERROR    Shortcut.Component_ [DesktopPuTTY]  Shortcut DesktopPuTTY references the component "
     "Desktop_Shortcut_Component which references a Registry entry as the key path. The value of the "
     "Attributes column in the Component table is 4."},
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
     {"CREATE TABLE `Class` (`CLSID` CHAR(38) NOT NULL, `Context` CHAR(32) NOT NULL, "
      "`Component_` CHAR(72) NOT NULL, `Feature_` CHAR(38) NOT NULL PRIMARY KEY `CLSID`, `Context`, "
      "`Component_`)",
      "INSERT INTO `Class` (`CLSID`, `Context`, `Component_`, `Feature_`) VALUES "
      "('{11111111-2222-3333-4444-555555555555}', 'LocalServer32', 'README_Component', 'FilesFeature')",
      "UPDATE `Component` SET `Attributes` = 32 WHERE `Component` = 'README_Component'"},
     "ICE19  ERROR    Class.Component_ [{11111111-2222-3333-4444-555555555555}, LocalServer32, "
     "README_Component]  Class {11111111-2222-3333-4444-555555555555} references the component "
     "README_Component which references an ODBC data source as the key path. The value of the Attributes "
     "column in the Component table is 32."},
    // A published component needs only a ComponentId.
    {"ICE19", kPutty,
     {"CREATE TABLE `PublishComponent` (`ComponentId` CHAR(38) NOT NULL, `Qualifier` CHAR(255) NOT NULL, "
      "`Component_` CHAR(72) NOT NULL, `AppData` CHAR(255), `Feature_` CHAR(38) NOT NULL "
      "PRIMARY KEY `ComponentId`, `Qualifier`, `Component_`)",
      "INSERT INTO `PublishComponent` (`ComponentId`, `Qualifier`, `Component_`, `Feature_`) VALUES "
      "('{66666666-2222-3333-4444-555555555555}', 'q', 'Path_Component', 'PathFeature')",
      "UPDATE `Component` SET `ComponentId` = NULL WHERE `Component` = 'Path_Component'"},
     "ICE19  ERROR    PublishComponent.Component_ [{66666666-2222-3333-4444-555555555555}, q, Path_Component]  "
     "PublishComponent {66666666-2222-3333-4444-555555555555} references the component Path_Component "
     "which does not have a ComponentId specified in the Component table."},
    // The files-in-use dialog: its list and its three ways out.
    {"ICE20", kPutty,
     {"DROP TABLE `ListBox`"},
     "ICE20  ERROR    Dialog.Dialog [FilesInUse]  The FilesInUse dialog needs a ListBox table."},
    {"ICE20", kPutty,
     {"UPDATE `Control` SET `Property` = 'OtherProperty' WHERE `Dialog_` = 'FilesInUse' AND `Control` = 'List'"},
     "ICE20  ERROR    Dialog.Dialog [FilesInUse]  The FilesInUse dialog has no ListBox control with the "
     "property FileInUseProcess."},
    {"ICE20", kNunit,
     {"DELETE FROM `ControlEvent` WHERE `Dialog_` = 'FilesInUse' AND `Control_` = 'Retry'"},
     "ICE20  ERROR    Dialog.Dialog [FilesInUse]  The FilesInUse dialog has no PushButton control with the "
     "EndDialog event and the argument Retry."},
    // The error dialog: its text, its buttons and their events, their size.
    {"ICE20", kPutty,
     {"DELETE FROM `Control` WHERE `Dialog_` = 'ErrorDlg' AND `Control` = 'ErrorText'"},
     "ICE20  ERROR    Dialog.Dialog [ErrorDlg]  Error dialog 'ErrorDlg' has no Text control named ErrorText."},
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
     "ICE20  ERROR    Control.Control [ErrorDlg, N]  PushButton N of Error dialog 'ErrorDlg' has no EndDialog "
     "event with the argument ErrorNo."},
    {"ICE20", kPutty,
     {"UPDATE `Control` SET `Height` = 20 WHERE `Dialog_` = 'ErrorDlg' AND `Control` = 'O'"},
     "ICE20  ERROR    Control.Height [ErrorDlg, O]  PushButton O of Error dialog 'ErrorDlg' differs in Height "
     "from button A: all its buttons must have the same width, height and Y."},
    {"ICE20", kPutty,
     {"UPDATE `Control` SET `Type` = 'Bitmap' WHERE `Dialog_` = 'ErrorDlg' AND `Control` = 'ErrorIcon'"},
     "ICE20  ERROR    Control.Type [ErrorDlg, ErrorIcon]  The ErrorIcon control of Error dialog 'ErrorDlg' must "
     "have Icon in the Type column."},
    // The property that names the error dialog.
    {"ICE20", kPutty,
     {"UPDATE `Property` SET `Value` = 'CancelDlg' WHERE `Property` = 'ErrorDialog'"},
     "ICE20  ERROR    Dialog.Attributes [CancelDlg]  Dialog 'CancelDlg' is named by the ErrorDialog property "
     "but does not have the Error dialog style bit set."},
    {"ICE20", kPutty,
     {"UPDATE `Property` SET `Value` = 'NoSuchDlg' WHERE `Property` = 'ErrorDialog'"},
     "ICE20  ERROR    Property.Value [ErrorDialog]  The ErrorDialog property names dialog 'NoSuchDlg', which is "
     "not in the Dialog table."},
    // The dialogs that end each UI sequence.
    {"ICE20", kPutty,
     {"DELETE FROM `InstallUISequence` WHERE `Action` = 'UserExit'"},
     "ICE20  ERROR    InstallUISequence.Sequence  The InstallUISequence table has no UserExit dialog: no dialog "
     "or custom action with -2 in the Sequence column."},
    {"ICE20", kNunit,
     {"UPDATE `AdminUISequence` SET `Sequence` = 1 WHERE `Action` = 'FatalError'"},
     "ICE20  ERROR    AdminUISequence.Sequence  The AdminUISequence table has no FatalError dialog: no dialog "
     "or custom action with -3 in the Sequence column."},
    // Components no feature brings.
    {"ICE21", kPutty,
     {"DELETE FROM `FeatureComponents` WHERE `Component_` = 'Website_Component'"},
     "ICE21  ERROR    Component.Component [Website_Component]  Component: 'Website_Component' does not belong "
     "to any Feature."},
    {"ICE21", "example.msi",
     {"DROP TABLE `FeatureComponents`"},
     "ICE21  ERROR    Component.Component [MainExecutable]  Component: 'MainExecutable' does not belong to "
     "any Feature."},
    // A child that disallows advertising under a parent that favors it; a
    // parent that is not there. The reverse and a plain child are allowed.
    {"ICE10", kPutty,
     {"UPDATE `Feature` SET `Attributes` = 4 WHERE `Feature` = 'FilesFeature'",
      "UPDATE `Feature` SET `Feature_Parent` = 'FilesFeature' "
      "WHERE `Feature` = 'DesktopFeature' OR `Feature` = 'PathFeature'",
      "UPDATE `Feature` SET `Attributes` = 0 WHERE `Feature` = 'PathFeature'",
      "UPDATE `Feature` SET `Feature_Parent` = 'PathFeature', `Attributes` = 4 WHERE `Feature` = 'PPKFeature'"},
     "ICE10  ERROR    Feature.Attributes [DesktopFeature]  Conflicting states, one favors, one disallows. Child: "
     "DesktopFeature differs in advertise state from Parent: FilesFeature."},
    {"ICE10", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'NoSuchFeature' WHERE `Feature` = 'PPKFeature'"},
     "ICE10  ERROR    Feature.Feature_Parent [PPKFeature]  Parent feature: 'NoSuchFeature' not found for child "
     "feature: 'PPKFeature'."},

    // A published component whose feature does not bring its component.
    {"ICE22", kPutty,
     {"CREATE TABLE `PublishComponent` (`ComponentId` CHAR(38) NOT NULL, `Qualifier` CHAR(255) NOT NULL, "
      "`Component_` CHAR(72) NOT NULL, `AppData` CHAR(255), `Feature_` CHAR(38) NOT NULL "
      "PRIMARY KEY `ComponentId`, `Qualifier`, `Component_`)",
      "INSERT INTO `PublishComponent` (`ComponentId`, `Qualifier`, `Component_`, `Feature_`) VALUES "
      "('{00000002-0003-0000-0000-624474736554}', 'q', 'PuTTY_Component', 'FilesFeature')",
      "INSERT INTO `PublishComponent` (`ComponentId`, `Qualifier`, `Component_`, `Feature_`) VALUES "
      "('{00000003-0004-0000-0000-624474732465}', 'q', 'Path_Component', 'FilesFeature')"},
     "ICE22  ERROR    PublishComponent.Feature_ [{00000003-0004-0000-0000-624474732465}, q, Path_Component]  "
     "PublishComponent: {00000003-0004-0000-0000-624474732465} does not have the correct mapping for the "
     "Feature_ and Component_ columns: Feature 'FilesFeature' and Component 'Path_Component' are not mapped "
     "to each other in the FeatureComponents table."},

    // Tab orders: where they start, where they end, what they link to.
    {"ICE23", "example.msi",
     {"CREATE TABLE `Dialog` (`Dialog` CHAR(72) NOT NULL, `Control_First` CHAR(50) PRIMARY KEY `Dialog`)",
      "CREATE TABLE `Control` (`Dialog_` CHAR(72) NOT NULL, `Control` CHAR(50) NOT NULL, "
      "`Control_Next` CHAR(50) PRIMARY KEY `Dialog_`, `Control`)",
      "INSERT INTO `Dialog` (`Dialog`) VALUES ('Dialog1')",
      "INSERT INTO `Control` (`Dialog_`, `Control`) VALUES ('Dialog1', 'ControlA')",
      "INSERT INTO `Control` (`Dialog_`, `Control`, `Control_Next`) VALUES ('Dialog1', 'ControlB', 'ControlA')"},
     "ICE23  ERROR    Dialog.Control_First [Dialog1]  Dialog1 has no Control_First."},
    {"ICE23", kPutty,
     {"UPDATE `Dialog` SET `Control_First` = 'NoSuchControl' WHERE `Dialog` = 'WelcomeDlg'"},
     "ICE23  ERROR    Dialog.Control_First [WelcomeDlg]  Control_First of dialog WelcomeDlg refers to "
     "nonexistent control NoSuchControl."},
    {"ICE23", kPutty,
     {"UPDATE `Control` SET `Control_Next` = NULL WHERE `Dialog_` = 'WelcomeDlg' AND `Control` = 'Back'"},
     "ICE23  ERROR    Control.Control_Next [WelcomeDlg, Back]  WelcomeDlg has dead-end tab order at control Back."},
    {"ICE23", kPutty,
     {"UPDATE `Control` SET `Control_Next` = 'Cancel' WHERE `Dialog_` = 'WelcomeDlg' AND `Control` = 'Bitmap'"},
     "ICE23  ERROR    Control.Control_Next [WelcomeDlg, Bitmap]  WelcomeDlg has malformed tab order at control "
     "Bitmap."},
    {"ICE23", kPutty,
     {"UPDATE `Control` SET `Control_Next` = 'Cancel' WHERE `Dialog_` = 'WelcomeDlg' AND `Control` = 'Title'"},
     "ICE23  ERROR    Control.Control_Next [WelcomeDlg, Back]  WelcomeDlg has malformed tab order at control Back."},
    {"ICE23", kNunit,
     {"UPDATE `Control` SET `Control_Next` = 'Nowhere' WHERE `Dialog_` = 'WelcomeDlg' AND `Control` = 'Bitmap'"},
     "ICE23  ERROR    Control.Control_Next [WelcomeDlg, Bitmap]  Control_Next of control WelcomeDlg.Bitmap links "
     "to unknown control."},
};

class E2Evaluators : public testing::TestWithParam<EvaluatorCase> {};

TEST_P(E2Evaluators, TripOnce) {
  REQUIRE_CORPUS();
  CheckEvaluatorCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, E2Evaluators, testing::ValuesIn(kCases), CaseName);

// Changes the pages allow: the evaluator reports nothing it did not report
// on the package as it was.
struct QuietCase {
  const char* name;
  const char* ice;
  const char* package;
  std::vector<std::string> statements;
};

const QuietCase kQuiet[] = {
    {"FontInFontsFolder", "ICE07", kPutty,
     {kCreateFont, "INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) "
      "VALUES ('FontsFolder', 'TARGETDIR', '.')",
      "UPDATE `Component` SET `Directory_` = 'FontsFolder' WHERE `Component` = 'README_Component'",
      "INSERT INTO `Font` (`File_`, `FontTitle`) VALUES ('README_File', 'Tahoma')"}},
    {"PermanentSystemComponent", "ICE09", kPutty,
     {"UPDATE `Component` SET `Directory_` = 'SystemFolder', `Attributes` = 16 "
      "WHERE `Component` = 'PSCP_Component'"}},
    {"ChildFavorsUnderDisallowingParent", "ICE10", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'FilesFeature', `Attributes` = 4 WHERE `Feature` = 'PPKFeature'"}},
    {"PropertyNotADirectoryAfterCostFinalize", "ICE12", kPutty,
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('SetFlag', 51, 'FLAG', '1')",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetFlag', 1100)"}},
    {"DirectoryAfterCostFinalize", "ICE12", kPutty,
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
      "VALUES ('SetInstallDir', 35, 'INSTALLDIR', '[TempFolder]')",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetInstallDir', 1001)",
      "INSERT INTO `InstallUISequence` (`Action`, `Sequence`) VALUES ('SetInstallDir', -1)"}},
    {"DialogInUiSequence", "ICE13", kPutty,
     {"INSERT INTO `InstallUISequence` (`Action`, `Sequence`) VALUES ('CancelDlg', 1500)"}},
    {"ChildFollowsParent", "ICE14", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'FilesFeature', `Attributes` = 12 "
      "WHERE `Feature` = 'PPKFeature'"}},
    {"TwoTypesShareAnExtension", "ICE15", kPutty,
     {kCreateExtension, kCreateMime, InsertMime("text/x-a", "txt"), InsertMime("text/x-b", "txt"),
      InsertExtension("txt", "text/x-b"), InsertMime("text/x-c", "doc"), InsertExtension("doc", "text/x-c"),
      InsertExtension("htm", "text/x-c")}},
    {"HiddenOrDisabledButtonsWithoutEvents", "ICE17", kPutty,
     {"DELETE FROM `ControlEvent` WHERE `Dialog_` = 'CancelDlg'",
      "UPDATE `Control` SET `Attributes` = 1 WHERE `Dialog_` = 'CancelDlg' AND `Control` = 'No'",
      "UPDATE `Control` SET `Attributes` = 2 WHERE `Dialog_` = 'CancelDlg' AND `Control` = 'Yes'",
      "INSERT INTO `ControlCondition` (`Dialog_`, `Control_`, `Action`, `Condition`) "
      "VALUES ('CancelDlg', 'No', 'Disable', '1')"}},
    {"IndirectListAndPictureByProperty", "ICE17", kPutty,
     {InsertControl("Combo", "ComboBox", 11, "OTHERPROPERTY"),
      "UPDATE `Control` SET `Text` = '[BannerProperty]' WHERE `Type` = 'Bitmap'",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('BannerProperty', 'WixUI_Bmp_Banner')",
      "UPDATE `Control` SET `Text` = '[SetAtRunTime]' WHERE `Type` = 'Icon'"}},
    {"DirectoryKeyPathCreatedOrFilled", "ICE18", "example.msi",
     {"UPDATE `Component` SET `KeyPath` = NULL WHERE `Component` = 'MainExecutable'"}},
    {"AdvertisedShortcutToDirectory", "ICE19", kPutty,
     {"UPDATE `Component` SET `KeyPath` = NULL, `Attributes` = 0 WHERE `Component` = 'Desktop_Shortcut_Component'",
      "UPDATE `Shortcut` SET `Target` = 'DesktopFeature' WHERE `Shortcut` = 'DesktopPuTTY'"}},
    {"LimitedUi", "ICE20", kPutty,
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('LIMITUI', '1')",
      "DELETE FROM `InstallUISequence` WHERE `Action` = 'UserExit'",
      "DELETE FROM `Control` WHERE `Dialog_` = 'ErrorDlg' AND `Control` = 'Y'"}},
    {"ExitByCustomAction", "ICE20", kPutty,
     {"DELETE FROM `InstallUISequence` WHERE `Action` = 'ExitDialog'",
      "INSERT INTO `InstallUISequence` (`Action`, `Sequence`) VALUES ('WixUIValidatePath', -1)"}},
    {"TabOrderOfOneControl", "ICE23", kPutty,
     {"UPDATE `Control` SET `Control_Next` = NULL WHERE `Dialog_` = 'CancelDlg'",
      "UPDATE `Control` SET `Control_Next` = 'No' WHERE `Dialog_` = 'CancelDlg' AND `Control` = 'No'"}},
};

class E2Quiet : public testing::TestWithParam<QuietCase> {};

TEST_P(E2Quiet, ReportsNothingNew) {
  REQUIRE_CORPUS();
  const QuietCase& c = GetParam();
  ts::TempDir before_dir, after_dir;
  const auto before = FindingLines(Altered(before_dir, c.package, {}), {"--ice", c.ice});
  const auto after = FindingLines(Altered(after_dir, c.package, c.statements), {"--ice", c.ice});
  EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(Cases, E2Quiet, testing::ValuesIn(kQuiet),
                         [](const testing::TestParamInfo<QuietCase>& info) { return info.param.name; });

// The corpus as it is: what each evaluator reports there, all of it. WiX's
// standard dialogs have disabled buttons without events and dialogs without
// a tab order, which the pages allow.
struct CorpusCase {
  const char* ice;
  const char* package;
  std::vector<std::string> expected;
};

const CorpusCase kCorpus[] = {
    {"ICE17", kPutty,
     {"ICE17  WARNING  Control.Property [FilesInUse, List]  ListBox: FileInUseProcess of Control: List of "
      "Dialog: FilesInUse is not in the ListBox table.",
      "ICE17  WARNING  Control.Property [MsiRMFilesInUse, List]  ListBox: FileInUseProcess of Control: List of "
      "Dialog: MsiRMFilesInUse is not in the ListBox table."}},
    {"ICE18", kNunit,
     {"ICE18  ERROR    Component.Directory_ [MenuShortcut_NUnit]  KeyPath for Component: 'MenuShortcut_NUnit' is "
      "Directory: 'net_2.0'. The Directory/Component pair must be listed in the CreateFolder table.",
      "ICE18  ERROR    Component.Directory_ [MenuShortcut_2.0]  KeyPath for Component: 'MenuShortcut_2.0' is "
      "Directory: 'net_2.0'. The Directory/Component pair must be listed in the CreateFolder table.",
      "ICE18  ERROR    Component.Directory_ [MenuShortcut_Mono_2.0]  KeyPath for Component: "
      "'MenuShortcut_Mono_2.0' is Directory: 'net_2.0'. The Directory/Component pair must be listed in the "
      "CreateFolder table.",
      "ICE18  ERROR    Component.Directory_ [C__SampleShortcuts]  KeyPath for Component: 'C__SampleShortcuts' is "
      "Directory: 'samples'. The Directory/Component pair must be listed in the CreateFolder table.",
      "ICE18  ERROR    Component.Directory_ [AssemblyReferenceFolder_1.1]  KeyPath for Component: "
      "'AssemblyReferenceFolder_1.1' is Directory: 'framework_1.1'. The Directory/Component pair must be "
      "listed in the CreateFolder table.",
      "ICE18  ERROR    Component.Directory_ [AssemblyReferenceFolder_2.0]  KeyPath for Component: "
      "'AssemblyReferenceFolder_2.0' is Directory: 'framework_2.0'. The Directory/Component pair must be "
      "listed in the CreateFolder table."}},
    {"ICE18", kPutty, {}},
    {"ICE20", kPutty, {}},
    {"ICE20", kNunit, {}},
    {"ICE23", kPutty, {}},
    {"ICE23", kNunit, {}},
    {"ICE02", "MergeModule1.msm", {}},
    {"ICE18", "Module401.msm", {}},
};

class E2Corpus : public testing::TestWithParam<CorpusCase> {};

TEST_P(E2Corpus, ReportsExactly) {
  REQUIRE_CORPUS();
  const CorpusCase& c = GetParam();
  ts::TempDir dir;
  EXPECT_EQ(FindingLines(Altered(dir, c.package, {}), {"--ice", c.ice}), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, E2Corpus, testing::ValuesIn(kCorpus),
                         [](const testing::TestParamInfo<CorpusCase>& info) {
                           std::string name = std::string(info.param.ice) + "_" + info.param.package;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

// Damaged packages: each still validates to the end, without a failure, a
// crash or a hang, and the evaluators still report what they can.
struct DamagedCase {
  const char* name;
  const char* package;
  std::vector<std::string> statements;
  const char* expected;  // a finding line still reported
};

const DamagedCase kDamaged[] = {
    {"ParentCycles", kPutty,
     {"UPDATE `Feature` SET `Feature_Parent` = 'DesktopFeature', `Attributes` = 4 "
      "WHERE `Feature` = 'FilesFeature'",
      "UPDATE `Feature` SET `Feature_Parent` = 'FilesFeature' WHERE `Feature` = 'DesktopFeature'"},
     "ICE10  ERROR    Feature.Attributes [DesktopFeature]  Conflicting states, one favors, one disallows. Child: "
     "DesktopFeature differs in advertise state from Parent: FilesFeature."},
    {"TabOrderLoopsOnItself", kPutty,
     {"UPDATE `Control` SET `Control_Next` = 'Back' WHERE `Dialog_` = 'WelcomeDlg'",
      "UPDATE `Dialog` SET `Control_First` = 'Back' WHERE `Dialog` = 'WelcomeDlg'"},
     "ICE23  ERROR    Control.Control_Next [WelcomeDlg, Back]  WelcomeDlg has malformed tab order at control Back."},
    {"HugeAndNegativeValues", kPutty,
     {"UPDATE `Component` SET `Attributes` = 32767 WHERE `Component` = 'PuTTY_Component'",
      "UPDATE `Component` SET `Attributes` = -32767 WHERE `Component` = 'Pageant_Component'",
      "INSERT INTO `CustomAction` (`Action`, `Type`) VALUES ('Odd', -1)",
      "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`) VALUES ('SetDir', 32739, 'INSTALLDIR')",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetDir', 32767)",
      "UPDATE `Control` SET `Attributes` = -1 WHERE `Dialog_` = 'ErrorDlg'",
      "UPDATE `Control` SET `Width` = 32767 WHERE `Dialog_` = 'ErrorDlg' AND `Control` = 'Y'"},
     "ICE20  ERROR    Control.Width [ErrorDlg, Y]  PushButton Y of Error dialog 'ErrorDlg' differs in Width "
     "from button A: all its buttons must have the same width, height and Y."},
    {"ControlCharactersAndDanglingNames", kPutty,
     {"UPDATE `Component` SET `KeyPath` = 'a\tb\x01' WHERE `Component` = 'PuTTY_Component'",
      "UPDATE `Property` SET `Value` = 'Nowhere\n' WHERE `Property` = 'ErrorDialog'",
      "UPDATE `Dialog` SET `Attributes` = 65543 WHERE `Dialog` = 'CancelDlg'",
      "UPDATE `Control` SET `Control_Next` = 'Bitmap' WHERE `Dialog_` = 'WelcomeDlg' AND `Control` = 'Bitmap'",
      "UPDATE `Control` SET `Text` = '[' WHERE `Type` = 'Bitmap'",
      "DELETE FROM `File` WHERE `File` = 'Plink_File'"},
     "ICE02  ERROR    Component.KeyPath [PuTTY_Component]  File: 'a\\tb\\x01' cannot be the key file for "
     "Component: 'PuTTY_Component'. It is not in the File table"},
};

class E2Damaged : public testing::TestWithParam<DamagedCase> {};

TEST_P(E2Damaged, ValidatesToTheEnd) {
  REQUIRE_CORPUS();
  const DamagedCase& c = GetParam();
  ts::TempDir dir;
  const fs::path package = Altered(dir, c.package, c.statements);
  std::vector<std::string> args;
  for (const char* ice : {"ICE02", "ICE07", "ICE09", "ICE10", "ICE12", "ICE13", "ICE14", "ICE15", "ICE17",
                          "ICE18", "ICE19", "ICE20", "ICE21", "ICE22", "ICE23"}) {
    args.push_back("--ice");
    args.push_back(ice);
  }
  const auto lines = FindingLines(package, args);
  std::string got;
  for (const auto& line : lines) {
    got += "\n  " + line;
    EXPECT_EQ(line.find("FAILURE"), std::string::npos) << line;
  }
  EXPECT_EQ(std::count(lines.begin(), lines.end(), c.expected), 1)
      << "expected once:\n  " << c.expected << "\ngot:" << got;
}

INSTANTIATE_TEST_SUITE_P(Cases, E2Damaged, testing::ValuesIn(kDamaged),
                         [](const testing::TestParamInfo<DamagedCase>& info) { return info.param.name; });

}  // namespace
}  // namespace vt
