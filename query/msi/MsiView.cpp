#include "MsiView.h"

void CMsiView::OpenView(MSIHANDLE hDatabase) {
  MSIHANDLE handle = 0;
  m_nError = MsiDatabaseOpenViewW(hDatabase, m_strQuery.c_str(), &handle);
  if (m_nError == ERROR_SUCCESS) Attach(handle);
}

bool CMsiView::Execute(MSIHANDLE hParameters) {
  return Succeeded(MsiViewExecute(m_hHandle, hParameters));
}

bool CMsiView::Fetch(CMsiRecord& record) {
  record.Close();
  MSIHANDLE handle = 0;
  if (!Succeeded(MsiViewFetch(m_hHandle, &handle))) return false;
  record.Attach(handle);
  return true;
}

bool CMsiView::GetColumnInfo(MSICOLINFO kind, CMsiRecord& record) {
  record.Close();  // a record that held a row would otherwise leak it
  MSIHANDLE handle = 0;
  const UINT code = MsiViewGetColumnInfo(m_hHandle, kind, &handle);
  record.Attach(handle);
  return Succeeded(code);
}

bool CMsiView::Modify(MSIMODIFY mode, MSIHANDLE hRecord) {
  return Succeeded(MsiViewModify(m_hHandle, mode, hRecord));
}

bool CMsiView::Close() {
  if (m_hHandle != 0) MsiViewClose(m_hHandle);
  return CloseHandleOnly();
}
