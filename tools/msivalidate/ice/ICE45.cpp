// ICE45: bit-field columns leave their reserved bits at 0. Which bits each
// column uses is the platform's own data (its validation suite's
// _ReservedBits table), copied here; some depend on the package's schema
// (the summary information's page count) or on the control's type.
// Errors for most columns; warnings for Control and ModuleConfiguration,
// as that data marks them.
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <vector>

#include "evaluator.h"

namespace msivalidate {
namespace {

struct UsedBits {
  const char* table;
  const char* column;
  std::initializer_list<const char*> control_types;  // Control rows of these types only
  int min_schema;  // inclusive; 0 for any
  int max_schema;  // inclusive; 0 for any
  uint32_t used;
  bool error;
};

const UsedBits kUsedBits[] = {
    {"MsiAssembly", "Attributes", {}, 0, 0, 1, true},
    {"Class", "Attributes", {}, 0, 0, 2, true},
    {"BBControl", "Attributes", {}, 0, 0, 8323327, true},
    {"Component", "Attributes", {}, 0, 120, 255, true},
    {"Component", "Attributes", {}, 121, 199, 511, true},
    {"Component", "Attributes", {}, 200, 0, 4095, true},
    {"Control", "Attributes", {"Text"}, 0, 0, 2031719, false},
    {"Control", "Attributes", {"ScrollableText"}, 0, 0, 231, false},
    {"Control", "Attributes", {"Icon"}, 0, 0, 7405575, false},
    {"Control", "Attributes", {"Bitmap"}, 0, 0, 1114119, false},
    {"Control", "Attributes", {"SelectionTree"}, 0, 0, 239, false},
    {"Control", "Attributes", {"PathEdit"}, 0, 0, 111, false},
    {"Control", "Attributes", {"ListView"}, 0, 0, 7405823, false},
    {"Control", "Attributes", {"Edit"}, 0, 100, 65791, false},
    {"Control", "Attributes", {"Edit"}, 101, 0, 2162943, false},
    {"Control", "Attributes", {"ProgressBar"}, 0, 0, 65575, false},
    {"Control", "Attributes", {"VolumeSelectCombo", "DirectoryCombo"}, 0, 0, 4129007, false},
    {"Control", "Attributes", {"VolumeCostList"}, 0, 0, 8323303, false},
    {"Control", "Attributes", {"ListBox"}, 0, 0, 1114367, false},
    {"Control", "Attributes", {"ComboBox"}, 0, 0, 1245439, false},
    {"Control", "Attributes", {"PushButton"}, 0, 0, 16580647, false},
    {"Control", "Attributes", {"CheckBox"}, 0, 0, 8323199, false},
    {"Control", "Attributes", {"GroupBox"}, 0, 0, 103, false},
    {"Control", "Attributes", {"Billboard", "Line"}, 0, 0, 7, false},
    {"Control", "Attributes", {"RadioButtonGroup"}, 0, 0, 25100415, false},
    {"Control", "Attributes", {"DirectoryList"}, 0, 0, 239, false},
    {"Control", "Attributes", {"MaskedEdit"}, 0, 0, 15, false},
    {"Dialog", "Attributes", {}, 0, 0, 66559, true},
    {"Feature", "Attributes", {}, 0, 0, 63, true},
    {"File", "Attributes", {}, 0, 0, 26119, true},
    {"MoveFile", "Options", {}, 0, 0, 1, true},
    {"MsiFileHash", "Options", {}, 0, 0, 0, true},
    {"ODBCDataSource", "Registration", {}, 0, 0, 1, true},
    {"Patch", "Attributes", {}, 0, 0, 1, true},
    {"RemoveFile", "InstallMode", {}, 0, 0, 3, true},
    {"ServiceControl", "Event", {}, 0, 0, 187, true},
    {"ServiceInstall", "ErrorControl", {}, 0, 0, 32771, true},
    {"ServiceInstall", "ServiceType", {}, 0, 0, 307, true},
    {"ServiceInstall", "StartType", {}, 0, 0, 7, true},
    {"TextStyle", "StyleBits", {}, 0, 0, 15, true},
    {"Upgrade", "Attributes", {}, 0, 0, 1799, true},
    {"ModuleConfiguration", "Attributes", {}, 0, 0, 3, false},
};

// The installer version the package asks for (its schema); 0 when unknown.
int Schema(Context& ctx) {
  MSIHANDLE info = 0;
  if (MsiGetSummaryInformationA(ctx.package().handle(), nullptr, 0, &info) != ERROR_SUCCESS) return 0;
  UINT type = 0;
  INT value = 0;
  const UINT r = MsiSummaryInfoGetPropertyA(info, PID_PAGECOUNT, &type, &value, nullptr, nullptr, nullptr);
  MsiCloseHandle(info);
  return r == ERROR_SUCCESS && type == VT_I4 ? value : 0;
}

std::string RowName(const Table& table, const Row& row) {
  std::string name;
  for (const std::string& key : table.Keys(row)) name += (name.empty() ? "" : ".") + key;
  return name;
}

void Run(Context& ctx) {
  const int schema = Schema(ctx);
  for (const UsedBits& bits : kUsedBits) {
    if ((bits.min_schema && schema < bits.min_schema) || (bits.max_schema && schema > bits.max_schema))
      continue;
    if (!ctx.package().HasTable(bits.table)) continue;
    const Table* table = ctx.Read(bits.table);
    if (!table || !table->Has(bits.column)) continue;
    for (const Row& row : table->rows) {
      const std::optional<int> value = table->Integer(row, bits.column);
      if (!value) continue;
      if (bits.control_types.size() != 0) {
        const std::string type = table->Text(row, "Type");
        bool listed = false;
        for (const char* t : bits.control_types) listed = listed || type == t;
        if (!listed) continue;
      }
      if ((static_cast<uint32_t>(*value) & ~bits.used) == 0) continue;
      ctx.Report(bits.error ? Severity::Error : Severity::Warning, *table, bits.column, row,
                 "Row '" + RowName(*table, row) + "' in table '" + table->name + "' has bits set in the '" +
                     bits.column + "' column that are reserved. They " + (bits.error ? "must" : "should") +
                     " be 0 to ensure compatibility with future installer versions.");
    }
  }
}

const Registration kICE45("ICE45", Run);

}  // namespace
}  // namespace msivalidate
