// Owner of one installer handle together with the result code of the last
// operation done through it.
#pragma once

#include <msiquery.h>

class CMsiHandle {
 public:
  CMsiHandle() = default;
  CMsiHandle(const CMsiHandle&) = delete;
  CMsiHandle& operator=(const CMsiHandle&) = delete;
  // Destruction only closes: it never commits a database or ends a view.
  virtual ~CMsiHandle();

  void Attach(MSIHANDLE handle) { m_hHandle = handle; }
  MSIHANDLE Detach();
  MSIHANDLE Handle() const { return m_hHandle; }
  virtual bool Close();

  UINT m_nError = ERROR_SUCCESS;

 protected:
  bool CloseHandleOnly();
  bool Succeeded(UINT code) {
    m_nError = code;
    return code == ERROR_SUCCESS;
  }

  MSIHANDLE m_hHandle = 0;
};
