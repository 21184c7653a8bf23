#include "MsiRecord.h"

#include <new>
#include <vector>

bool CMsiRecord::Create(CMsiRecord& record, UINT fieldCount) {
  record.Close();
  const MSIHANDLE handle = MsiCreateRecord(fieldCount);
  if (handle == 0) {
    record.m_nError = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  record.Attach(handle);
  return true;
}

UINT CMsiRecord::GetFieldCount() {
  m_nError = ERROR_SUCCESS;
  if (m_hHandle == 0) return 0;
  const UINT count = MsiRecordGetFieldCount(m_hHandle);
  return count == static_cast<UINT>(-1) ? 0 : count;
}

std::u16string CMsiRecord::GetString(UINT field) {
  std::u16string result;
  WCHAR probe[1] = {0};
  DWORD length = 0;
  m_nError = MsiRecordGetStringW(m_hHandle, field, probe, &length);
  if (m_nError != ERROR_MORE_DATA) return result;
  // The length is asked for once and the buffer sized exactly.
  std::vector<WCHAR> buffer;
  try {
    buffer.resize(static_cast<std::size_t>(length) + 1);
  } catch (const std::bad_alloc&) {
    m_nError = ERROR_NOT_ENOUGH_MEMORY;
    return result;
  }
  DWORD size = static_cast<DWORD>(buffer.size());
  m_nError = MsiRecordGetStringW(m_hHandle, field, buffer.data(), &size);
  if (m_nError == ERROR_SUCCESS) result.assign(buffer.data(), size < buffer.size() ? size : buffer.size() - 1);
  return result;
}

bool CMsiRecord::SetString(UINT field, const std::u16string& value) {
  return Succeeded(MsiRecordSetStringW(m_hHandle, field, value.c_str()));
}

bool CMsiRecord::SetInteger(UINT field, int value) {
  return Succeeded(MsiRecordSetInteger(m_hHandle, field, value));
}

bool CMsiRecord::ClearData() { return Succeeded(MsiRecordClearData(m_hHandle)); }
