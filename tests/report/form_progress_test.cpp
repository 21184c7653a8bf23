// The progress window under Qt Test: its layout, its controls' start state,
// and that only the program can close it.
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
  void layoutIsTheDesignedOne() {
    FormProgress form;
    QCOMPARE(form.size(), QSize(400, 90));
    QCOMPARE(form.LabelProgress()->geometry(), QRect(8, 8, 385, 49));
    QCOMPARE(form.pbProgress()->geometry(), QRect(8, 64, 385, 17));
    QCOMPARE(form.LabelProgress()->text(), QStringLiteral("Initializing..."));
    QCOMPARE(form.pbProgress()->minimum(), 0);
    QCOMPARE(form.pbProgress()->maximum(), 100);
    QCOMPARE(form.pbProgress()->value(), 0);
    QVERIFY(form.LabelProgress()->wordWrap());
  }

  void reportDrivesLabelAndBar() {
    FormProgress form;
    form.show();
    form.label()->SetCaption("Files in [ProgramFilesFolder]<b>App</b>\\...");
    form.label()->RepaintWindow();
    form.bar()->SetMin(0);
    form.bar()->SetMax(3);
    form.bar()->SetValue(2);
    // Plain text: a folder named like markup shows as written.
    QCOMPARE(form.LabelProgress()->textFormat(), Qt::PlainText);
    QCOMPARE(form.LabelProgress()->text(),
             QStringLiteral("Files in [ProgramFilesFolder]<b>App</b>\\..."));
    QCOMPARE(form.pbProgress()->maximum(), 3);
    QCOMPARE(form.pbProgress()->value(), 2);
  }

  void longCaptionsWrapWithinTheLabel() {
    FormProgress form;
    form.show();
    QString caption = QStringLiteral("Files in [ProgramFilesFolder]Some Company Name\\Some "
                                     "Product Name\\Version 12\\Plugins\\Extras\\...");
    form.label()->SetCaption(caption.toStdString());
    QFontMetrics metrics(form.LabelProgress()->font());
    QRect needed = metrics.boundingRect(QRect(0, 0, 385, 1000), Qt::TextWordWrap, caption);
    QVERIFY(needed.height() > metrics.height());  // more than one line
    QCOMPARE(form.LabelProgress()->width(), 385);
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
