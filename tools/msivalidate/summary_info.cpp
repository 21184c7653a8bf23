#include "summary_info.h"

namespace msivalidate {

std::optional<int> SummaryInteger(MSIHANDLE db, UINT pid) {
  MSIHANDLE info = 0;
  if (MsiGetSummaryInformationA(db, nullptr, 0, &info) != ERROR_SUCCESS) return std::nullopt;
  UINT type = VT_EMPTY;
  INT value = 0;
  const UINT r = MsiSummaryInfoGetPropertyA(info, pid, &type, &value, nullptr, nullptr, nullptr);
  MsiCloseHandle(info);
  if (r != ERROR_SUCCESS || (type != VT_I4 && type != VT_I2)) return std::nullopt;
  return value;
}

}  // namespace msivalidate
