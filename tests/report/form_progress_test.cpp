// The progress window under Qt Test: the report drives its caption and bar,
// and only the program can close it.
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QtTest/QtTest>
#include <QWindow>

#include "FormProgress.h"

using pellacor::FormProgress;

class FormProgressTest : public QObject {
  Q_OBJECT

 private slots:
  void reportDrivesLabelAndBar() {
    FormProgress form;
    form.label()->SetCaption("Files in [ProgramFilesFolder]<b>App</b>\\...");
    form.bar()->SetMax(3);
    form.bar()->SetValue(2);
    QCOMPARE(form.pbProgress()->value(), 2);
    // Plain text: a folder named like markup shows as written; long paths wrap.
    QCOMPARE(form.LabelProgress()->textFormat(), Qt::PlainText);
    QVERIFY(form.LabelProgress()->wordWrap());
    QCOMPARE(form.LabelProgress()->text(), QStringLiteral("Files in [ProgramFilesFolder]<b>App</b>\\..."));
  }

  void userCloseIsRefusedProgramCloseProceeds() {
    FormProgress form;
    form.show();
    // A close request delivered to the native window, as the window
    // system's close button or Alt+F4 delivers it.
    QVERIFY(form.windowHandle() != nullptr);
    QCloseEvent user_close;
    QApplication::sendEvent(form.windowHandle(), &user_close);
    QVERIFY(!user_close.isAccepted());
    QVERIFY(form.isVisible());
    form.CloseByProgram();
    QVERIFY(!form.isVisible());
  }
};

QTEST_MAIN(FormProgressTest)
#include "form_progress_test.moc"
