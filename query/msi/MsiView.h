// One installer view: a statement opened on a database.
#pragma once

#include <string>

#include "FormatText.h"
#include "MsiHandle.h"
#include "MsiRecord.h"

class CMsiView : public CMsiHandle {
 public:
  // Formats the statement and opens it; m_nError tells whether it opened.
  template <class... Args>
  CMsiView(MSIHANDLE hDatabase, std::u16string_view format, const Args&... args) {
    FormatText(m_strQuery, format, args...);
    OpenView(hDatabase);
  }

  bool Execute(MSIHANDLE hParameters = 0);
  bool Execute(CMsiRecord& parameters) { return Execute(parameters.Handle()); }
  // Releases the record's previous row first; after the last row the result
  // is false with m_nError 259 and the record holds no handle.
  bool Fetch(CMsiRecord& record);
  bool GetColumnInfo(MSICOLINFO kind, CMsiRecord& record);
  bool Modify(MSIMODIFY mode, MSIHANDLE hRecord);
  bool Close() override;

  // The statement exactly as the installer received it.
  std::u16string m_strQuery;

 private:
  void OpenView(MSIHANDLE hDatabase);
};
