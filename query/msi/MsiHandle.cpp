#include "MsiHandle.h"

CMsiHandle::~CMsiHandle() { CloseHandleOnly(); }

MSIHANDLE CMsiHandle::Detach() {
  const MSIHANDLE handle = m_hHandle;
  m_hHandle = 0;
  return handle;
}

bool CMsiHandle::Close() { return CloseHandleOnly(); }

bool CMsiHandle::CloseHandleOnly() {
  m_nError = ERROR_SUCCESS;
  if (m_hHandle != 0) {
    m_nError = MsiCloseHandle(m_hHandle);
    m_hHandle = 0;
  }
  return m_nError == ERROR_SUCCESS;
}
