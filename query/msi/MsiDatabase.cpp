#include "MsiDatabase.h"

bool CMsiDatabase::Open(const std::u16string& path, LPCWSTR persistMode) {
  Close();
  if (path.empty()) {
    m_nError = ERROR_OPEN_FAILED;
    return false;
  }
  MSIHANDLE handle = 0;
  if (!Succeeded(MsiOpenDatabaseW(path.c_str(), persistMode, &handle))) return false;
  Attach(handle);
  return true;
}

bool CMsiDatabase::Commit() {
  if (Succeeded(MsiDatabaseCommit(m_hHandle))) return true;
  m_bCommitFailed = true;
  return false;
}

bool CMsiDatabase::Close() {
  if (m_hHandle == 0) return true;
  Commit();
  return CloseHandleOnly();
}
