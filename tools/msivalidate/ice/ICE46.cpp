// ICE46: custom properties whose names differ from an installer-defined or
// another defined property only by letter case: property names are case
// sensitive, so such a name is a different, usually unset, property.
// The page calls the findings informational; the suite's own run reports
// them as warnings, which is what is done here.
#include <cctype>
#include <map>
#include <set>

#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

// Properties the installer itself defines or reads.
constexpr const char* kSystemProperties[] = {
    "Action", "ADDDEFAULT", "ADDLOCAL", "ADDSOURCE", "AdminProperties", "AdminToolsFolder",
    "AdminUser", "ADVERTISE", "AFTERREBOOT", "AllowProductCodeMismatches",
    "AllowProductVersionMajorMismatches", "ALLUSERS", "AppDataFolder", "ARPAUTHORIZEDCDFPREFIX",
    "ARPCOMMENTS", "ARPCONTACT", "ARPHELPLINK", "ARPHELPTELEPHONE", "ARPINSTALLLOCATION",
    "ARPNOMODIFY", "ARPNOREMOVE", "ARPNOREPAIR", "ARPPRODUCTICON", "ARPREADME", "ARPSIZE",
    "ARPSYSTEMCOMPONENT", "ARPURLINFOABOUT", "ARPURLUPDATEINFO", "AVAILABLEFREEREG", "BorderSide",
    "BorderTop", "CaptionHeight", "CCP_DRIVE", "ColorBits", "CommonAppDataFolder",
    "CommonFiles64Folder", "CommonFilesFolder", "COMPADDDEFAULT", "COMPADDLOCAL",
    "COMPADDSOURCE", "COMPANYNAME", "ComputerName", "CostingComplete", "Date", "DefaultUIFont",
    "DesktopFolder", "DISABLEADVTSHORTCUTS", "DISABLEROLLBACK", "DiskPrompt", "EnableUserControl",
    "ErrorDialog", "EXECUTEACTION", "EXECUTEMODE", "FASTOEM", "FavoritesFolder",
    "FILEADDDEFAULT", "FILEADDLOCAL", "FILEADDSOURCE", "FontsFolder", "Installed",
    "INSTALLLEVEL", "Intel", "Intel64", "IsAdminPackage", "LeftUnit", "LIMITUI",
    "LocalAppDataFolder", "LOGACTION", "LogonUser", "Manufacturer", "MEDIAPACKAGEPATH",
    "MediaSourceDir", "MSIARPSETTINGSIDENTIFIER", "MSICHECKCRCS", "MSIDISABLERMRESTART",
    "MSIENFORCEUPGRADECOMPONENTRULES", "MSIFASTINSTALL", "MsiHiddenProperties",
    "MSIINSTALLPERUSER", "MSIINSTANCEGUID", "MsiLogFileLocation", "MsiLogging",
    "MsiNetAssemblySupport", "MSINEWINSTANCE", "MSINODISABLEMEDIA", "MsiNTProductType",
    "MsiNTSuiteBackOffice", "MsiNTSuiteDataCenter", "MsiNTSuiteEnterprise",
    "MsiNTSuitePersonal", "MsiNTSuiteSmallBusiness", "MsiNTSuiteSmallBusinessRestricted",
    "MsiNTSuiteWebServer", "MsiPackageDownloadLocalCopy", "MsiPatchDownloadLocalCopy",
    "MsiPatchRemovalList", "MSIPATCHREMOVE", "MSIRESTARTMANAGERCONTROL",
    "MsiRestartManagerSessionKey", "MSIRMSHUTDOWN", "MsiRunningElevated",
    "MsiSystemRebootPending", "MsiTabletPC", "MsiUIHideCancel", "MsiUIProgressOnly",
    "MsiUISourceResOnly", "MSIUNINSTALLSUPERSEDEDCOMPONENTS", "MSIUSEREALADMINDETECTION",
    "MsiWin32AssemblySupport", "MsiAMD64", "Msix64", "MyPicturesFolder", "NetHoodFolder",
    "NOCOMPANYNAME", "NOUSERNAME", "OLEAdvtSupport", "OriginalDatabase", "OutOfDiskSpace",
    "OutOfNoRbDiskSpace", "ParentOriginalDatabase", "ParentProductCode", "PATCH",
    "PATCHNEWPACKAGECODE", "PATCHNEWSUMMARYCOMMENTS", "PATCHNEWSUMMARYSUBJECT",
    "PersonalFolder", "PhysicalMemory", "PIDKEY", "PIDTemplate", "Preselected", "PRIMARYFOLDER",
    "PrimaryVolumePath", "PrimaryVolumeSpaceAvailable", "PrimaryVolumeSpaceRemaining",
    "PrimaryVolumeSpaceRequired", "PrintHoodFolder", "Privileged", "ProductCode", "ProductID",
    "ProductLanguage", "ProductName", "ProductState", "ProductVersion", "ProgramFiles64Folder",
    "ProgramFilesFolder", "ProgramMenuFolder", "PROMPTROLLBACKCOST", "REBOOT", "REBOOTPROMPT",
    "RecentFolder", "RedirectedDllSupport", "REINSTALL", "REINSTALLMODE", "RemoteAdminTS",
    "REMOVE", "ReplacedInUseFiles", "RestrictedUserControl", "RESUME", "RollbackDisabled",
    "ROOTDRIVE", "ScreenX", "ScreenY", "SecureCustomProperties", "SendToFolder", "SEQUENCE",
    "ServicePackLevel", "ServicePackLevelMinor", "SharedWindows", "ShellAdvtSupport",
    "SHORTFILENAMES", "SourceDir", "SOURCELIST", "StartMenuFolder", "StartupFolder",
    "System16Folder", "System64Folder", "SystemFolder", "SystemLanguageID", "TARGETDIR",
    "TempFolder", "TemplateFolder", "TerminalServer", "TextHeight", "Time", "TRANSFORMS",
    "TRANSFORMSATSOURCE", "TRANSFORMSSECURE", "TTCSupport", "UILevel", "UpdateStarted",
    "UpgradeCode", "UPGRADINGPRODUCTCODE", "UserLanguageID", "USERNAME", "UserSID", "Version9X",
    "VersionDatabase", "VersionMsi", "VersionNT", "VersionNT64", "VirtualMemory", "WindowsBuild",
    "WindowsFolder", "WindowsVolume",
};

// Columns holding conditions, and columns of formatted text ([Property]).
struct Place {
  const char* table;
  const char* column;
  bool condition;
};
constexpr Place kPlaces[] = {
    {"AdminExecuteSequence", "Condition", true}, {"AdminUISequence", "Condition", true},
    {"AdvtExecuteSequence", "Condition", true},  {"InstallExecuteSequence", "Condition", true},
    {"InstallUISequence", "Condition", true},    {"Component", "Condition", true},
    {"Condition", "Condition", true},            {"ControlCondition", "Condition", true},
    {"ControlEvent", "Condition", true},         {"EventMapping", "Attribute", false},
    {"LaunchCondition", "Condition", true},      {"ControlEvent", "Argument", false},
    {"Control", "Text", false},                  {"Dialog", "Title", false},
    {"CustomAction", "Target", false},           {"Environment", "Name", false},
    {"Environment", "Value", false},             {"IniFile", "Value", false},
    {"LaunchCondition", "Description", false},   {"Registry", "Key", false},
    {"Registry", "Name", false},                 {"Registry", "Value", false},
    {"RemoveRegistry", "Key", false},            {"RemoveRegistry", "Name", false},
    {"ServiceInstall", "Arguments", false},      {"Shortcut", "Arguments", false},
    {"Shortcut", "Target", false},
};

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

// Property names a condition reads: identifiers outside quoted strings,
// neither operators nor component, feature or environment references.
std::vector<std::string> ConditionNames(std::string_view text) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '"') {
      const size_t end = text.find('"', i + 1);
      i = end == std::string_view::npos ? text.size() : end + 1;
    } else if (c == '$' || c == '?' || c == '&' || c == '!' || c == '%') {
      ++i;
      while (i < text.size() && IsNameChar(text[i])) ++i;
    } else if (IsNameStart(c)) {
      const size_t start = i;
      while (i < text.size() && IsNameChar(text[i])) ++i;
      const std::string word(text.substr(start, i - start));
      const std::string upper = Upper(word);
      if (upper != "NOT" && upper != "AND" && upper != "OR" && upper != "XOR" && upper != "EQV" &&
          upper != "IMP")
        out.push_back(word);
    } else {
      ++i;
    }
  }
  return out;
}

// Property names in formatted text: [Name], not [$comp], [#file], [!file],
// [%env], [\x] or [~].
std::vector<std::string> FormattedNames(std::string_view text) {
  std::vector<std::string> out;
  for (size_t open = text.find('['); open != std::string_view::npos;
       open = text.find('[', open + 1)) {
    size_t i = open + 1;
    if (i >= text.size() || !IsNameStart(text[i])) continue;
    while (i < text.size() && IsNameChar(text[i])) ++i;
    if (i < text.size() && text[i] == ']') out.emplace_back(text.substr(open + 1, i - open - 1));
  }
  return out;
}

// Custom actions whose Target is formatted text (command lines, property
// and directory values, error messages); other types hold entry points or
// script code there.
bool HasFormattedTarget(const Table& custom, const Row& row) {
  switch (custom.Integer(row, "Type").value_or(0) & 0x3F) {
    case 2: case 18: case 19: case 34: case 35: case 50: case 51: return true;
    default: return false;
  }
}

std::string JoinKeys(const std::vector<std::string>& keys) {
  std::string out;
  for (const auto& k : keys) out += (out.empty() ? "" : ".") + k;
  return out;
}

void Run(Context& ctx) {
  const Table* property = ctx.Read("Property");
  // Every name that is set somewhere: system properties, the Property
  // table, directories, searches and property-setting custom actions.
  std::set<std::string> defined(std::begin(kSystemProperties), std::end(kSystemProperties));
  std::map<std::string, std::set<std::string>> by_upper;  // NAME -> the spellings defined
  for (const char* name : kSystemProperties) by_upper[Upper(name)].insert(name);
  auto define = [&](const std::string& name) {
    if (name.empty()) return;
    defined.insert(name);
    by_upper[Upper(name)].insert(name);
  };
  if (property)
    for (const Row& row : property->rows) define(property->Text(row, "Property"));
  if (const Table* directory = ctx.Read("Directory"))
    for (const Row& row : directory->rows) define(directory->Text(row, "Directory"));
  if (const Table* search = ctx.Read("AppSearch"))
    for (const Row& row : search->rows) define(search->Text(row, "Property"));
  if (const Table* custom = ctx.Read("CustomAction"))
    for (const Row& row : custom->rows)
      if ((custom->Integer(row, "Type").value_or(0) & 0x3F) == 51)
        define(custom->Text(row, "Source"));

  if (property)
    for (const Row& row : property->rows) {
      const std::string name = property->Text(row, "Property");
      const auto& spellings = by_upper[Upper(name)];
      if (spellings.size() > 1)
        ctx.Report(Severity::Warning, *property, "Property", row,
                   "Property " + name +
                       " defined in property table differs from another defined property only by "
                       "case.");
    }

  for (const Place& place : kPlaces) {
    const Table* table = ctx.Read(place.table);
    if (!table || !table->Has(place.column)) continue;
    for (const Row& row : table->rows) {
      if (table->IsNull(row, place.column)) continue;
      if (table->name == "CustomAction" && !HasFormattedTarget(*table, row)) continue;
      const std::string text = table->Text(row, place.column);
      std::set<std::string> reported;
      for (const std::string& name : place.condition ? ConditionNames(text) : FormattedNames(text)) {
        if (defined.count(name) || !by_upper.count(Upper(name)) || !reported.insert(name).second)
          continue;
        ctx.Report(Severity::Warning, *table, place.column, row,
                   "Property '" + name + "' referenced in column '" + table->name + "'.'" +
                       place.column + "' of row '" + JoinKeys(table->Keys(row)) +
                       "' differs from a defined property by case only.");
      }
    }
  }
}

const Registration kICE46("ICE46", Run);

}  // namespace
}  // namespace msivalidate
