// The Dialog Manager's work on one database: deleting a dialog's rows and
// copying them from another database. Dialog names always travel as '?'
// parameters, so a name can only ever match itself.
#include <array>

#include "InstallerError.h"
#include "MsiDatabase.h"
#include "MsiView.h"

namespace {

struct DialogTable {
  const char16_t* name;
  const char16_t* filter;
};

constexpr std::array<DialogTable, 5> kDialogTables{{
    {u"Dialog", u"WHERE Dialog=?"},
    {u"Control", u"WHERE Dialog_=?"},
    {u"ControlCondition", u"WHERE Dialog_=?"},
    {u"ControlEvent", u"WHERE Dialog_=?"},
    {u"EventMapping", u"WHERE Dialog_=?"},
}};

bool MakeNameParameter(const std::u16string& name, CMsiRecord& parameters, UINT& error) {
  if (!CMsiRecord::Create(parameters, 1) || !parameters.SetString(1, name)) {
    error = parameters.m_nError;
    return false;
  }
  return true;
}

}  // namespace

bool CMsiDatabase::DeleteDialog(const std::u16string& name) {
  m_nError = ERROR_SUCCESS;
  CMsiRecord parameters;
  UINT error = ERROR_SUCCESS;
  if (!MakeNameParameter(name, parameters, error)) {
    m_nError = error;
    return false;
  }
  UINT lastFailure = ERROR_SUCCESS;
  for (const DialogTable& table : kDialogTables) {
    CMsiView view(m_hHandle, u"DELETE FROM %s %s", table.name, table.filter);
    if (view.m_nError != ERROR_SUCCESS)
      lastFailure = view.m_nError;
    else if (!view.Execute(parameters))
      lastFailure = view.m_nError;
  }
  m_nError = lastFailure;
  return m_nError == ERROR_SUCCESS;
}

bool CMsiDatabase::CopyDialog(CMsiDatabase& source, const std::u16string& name, IMessageBox& box) {
  m_nError = ERROR_SUCCESS;
  CMsiRecord parameters;
  UINT error = ERROR_SUCCESS;
  if (!MakeNameParameter(name, parameters, error)) {
    m_nError = error;
    return false;
  }
  for (const DialogTable& table : kDialogTables)
    CopyRecords(source, table.name, table.filter, parameters, table.name, u"*", box);
  return m_nError == ERROR_SUCCESS;
}

bool CMsiDatabase::CopyRecords(CMsiDatabase& source, const std::u16string& sourceTable,
                               const std::u16string& filter, CMsiRecord& parameters,
                               const std::u16string& targetTable, const std::u16string& selector,
                               IMessageBox& box) {
  m_nError = ERROR_SUCCESS;
  CMsiView sourceView(source.Handle(), u"SELECT %s FROM %s %s", selector, sourceTable, filter);
  if (sourceView.m_nError != ERROR_SUCCESS) {
    m_nError = sourceView.m_nError;
    if (m_nError == ERROR_BAD_QUERY_SYNTAX)
      ShowInstallerError(box, true, u"CopyRecords Source View", m_nError, sourceView.m_strQuery);
    return false;
  }
  if (!sourceView.Execute(parameters)) {
    m_nError = sourceView.m_nError;
    return false;
  }

  std::u16string columns;
  {
    CMsiRecord names;
    sourceView.GetColumnInfo(MSICOLINFO_NAMES, names);
    const UINT count = names.GetFieldCount();
    for (UINT i = 1; i <= count; ++i) {
      if (i > 1) columns += u",";
      columns += u"`" + names.GetString(i) + u"`";
    }
  }

  CMsiRecord row;
  while (sourceView.Fetch(row)) {
    row.SetInteger(0, 0);
    // One target view per row, as each row may be rejected on its own.
    CMsiView targetView(m_hHandle, u"SELECT %s FROM %s", columns, targetTable);
    if (targetView.m_nError != ERROR_SUCCESS) {
      m_nError = targetView.m_nError;
      if (m_nError == ERROR_BAD_QUERY_SYNTAX)
        ShowInstallerError(box, true, u"CopyRecords Target View", m_nError, targetView.m_strQuery);
      continue;
    }
    if (!targetView.Execute())
      m_nError = targetView.m_nError;
    else if (!targetView.Modify(MSIMODIFY_INSERT, row.Handle()))
      m_nError = targetView.m_nError;
  }
  if (sourceView.m_nError != ERROR_NO_MORE_ITEMS) m_nError = sourceView.m_nError;

  // A failed commit must not look like a copy that reached the disk.
  const UINT rowsResult = m_nError;
  if (!Commit()) return false;
  m_nError = rowsResult;
  return m_nError == ERROR_SUCCESS;
}
