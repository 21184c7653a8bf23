// "Execute!": runs the statement on the package, read-only, and shows the
// result as an HTML table in result.html.
#include "ResultPage.h"
#include "VintrelDlg.h"
#include "WideText.h"
#include "msi/MsiDatabase.h"
#include "msi/MsiView.h"

namespace {
const QString kResultPage = QStringLiteral("result.html");
}

void CVintrelDlg::OnExecute() {
  UpdateData(true);
  CMsiDatabase database;
  if (!database.Open(ToWide(m_strDatabase), MSIDBOPEN_READONLY)) {
    ShowMessage(QStringLiteral("Cannot open database."), MessageIcon::Error);
    return;
  }
  const std::u16string statement = ToWide(m_strSql);
  // "%s" hands the statement over untouched; a '%' in it is no format.
  CMsiView view(database.Handle(), u"%s", statement);
  if (view.m_nError != ERROR_SUCCESS) {
    ShowMessage(QStringLiteral("Cannot open view."), MessageIcon::Error);
    return;
  }
  if (!view.Execute()) {
    ShowMessage(QStringLiteral("Cannot execute view."), MessageIcon::Error);
    return;
  }
  ResultPageWriter page(kResultPage);
  if (!page.Open()) {
    ShowMessage(QStringLiteral("Cannot open result file."), MessageIcon::Error);
    return;
  }

  const std::u16string path = ToWide(m_strDatabase);
  page.WriteMarkup("<html><head><title>");
  page.WriteText(path);
  page.WriteMarkup("</title></head><body><h1>");
  page.WriteText(path);
  page.WriteMarkup("</h1><h2>");
  page.WriteText(statement);
  page.WriteMarkup("</h2><table border=1 width=90%><tr>");

  CMsiRecord record;
  view.GetColumnInfo(MSICOLINFO_NAMES, record);
  for (UINT i = 1; i <= record.GetFieldCount(); ++i) {
    page.WriteMarkup("<th>");
    page.WriteCellText(record.GetString(i));
    page.WriteMarkup("</th>");
  }
  page.WriteMarkup("</tr>");

  while (view.Fetch(record)) {
    page.WriteMarkup("<tr>");
    for (UINT j = 1; j <= record.GetFieldCount(); ++j) {
      page.WriteMarkup("<td>");
      page.WriteCellText(record.GetString(j));
      page.WriteMarkup("</td>");
    }
    page.WriteMarkup("</tr>");
  }
  // The page still gets the rows read so far.
  if (view.m_nError != ERROR_NO_MORE_ITEMS)
    ShowMessage(QStringLiteral("Cannot fetch record."), MessageIcon::Error);

  page.WriteMarkup("</table></body></html>");
  if (!page.Finish()) {
    ShowMessage(QStringLiteral("Cannot write result file."), MessageIcon::Error);
    return;
  }
  m_opener->Open(kResultPage);
}
