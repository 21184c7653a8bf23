// One installer database, plus the dialog operations of the Dialog Manager.
#pragma once

#include <string>

#include "MessageBox.h"
#include "MsiHandle.h"
#include "MsiRecord.h"

class CMsiDatabase : public CMsiHandle {
 public:
  CMsiDatabase() = default;
  ~CMsiDatabase() override = default;

  // Commits and closes a database held before. An empty path fails with
  // ERROR_OPEN_FAILED without asking the installer.
  bool Open(const std::u16string& path, LPCWSTR persistMode);
  bool Commit();
  // Commit, then close; reports the close only.
  bool Close() override;

  // Removes the rows of dialog `name` from Dialog, Control,
  // ControlCondition, ControlEvent and EventMapping; every statement runs
  // whatever the ones before did. Nothing is committed.
  bool DeleteDialog(const std::u16string& name);
  // Copies the rows of dialog `name` of `source` into this database, table
  // by table; true when the last table copied cleanly.
  bool CopyDialog(CMsiDatabase& source, const std::u16string& name, IMessageBox& box);
  // Copies the rows that "SELECT selector FROM sourceTable filter" finds in
  // `source` (with `parameters` for its '?' markers) into the same columns
  // of `targetTable` here, then commits when the source statement ran.
  bool CopyRecords(CMsiDatabase& source, const std::u16string& sourceTable,
                   const std::u16string& filter, CMsiRecord& parameters,
                   const std::u16string& targetTable, const std::u16string& selector,
                   IMessageBox& box);

  // True once any commit on this object has failed; the copy reports that,
  // since each table commits on its own.
  bool CommitFailed() const { return m_bCommitFailed; }

 private:
  bool m_bCommitFailed = false;
};
