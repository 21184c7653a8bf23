// The window as a user meets it: controls, keys, and the Browse button.
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "ApplicationMessageBox.h"

#include "Recorders.h"

class WindowTest : public QObject {
  Q_OBJECT

 private:
  struct Expected {
    const char* objectName;
    const char* className;
    const char* text;
  };

  static QString TextOf(QWidget* widget) {
    if (auto* b = qobject_cast<QPushButton*>(widget)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(widget)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(widget)) return g->title();
    if (auto* e = qobject_cast<QLineEdit*>(widget)) return e->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(widget)) return p->toPlainText();
    return QString();
  }

  std::unique_ptr<CVintrelDlg> m_dialog;
  RecordingMessageBox m_box;
  ScriptedChooser m_chooser;
  RecordingOpener m_opener;

  template <class T>
  T* Find(const char* name) {
    T* widget = m_dialog->findChild<T*>(QString::fromLatin1(name));
    if (!widget) qFatal("no control %s", name);
    return widget;
  }

 private slots:
  void init() {
    m_dialog = RecordedWindow(m_box, m_chooser, m_opener);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
  }
  void cleanup() { m_dialog.reset(); }

  // Tab goes through the controls in template order, past the labels and
  // group boxes.
  void controlsComeInTemplateOrderWithTheirTextsAndTabOrder() {
    const Expected expected[] = {
        {"static_Database", "QLabel", "&Database:"},
        {"edit1000_Database", "QLineEdit", ""},
        {"button1001_Browse", "QPushButton", "&Browse..."},
        {"edit1002_Sql", "QPlainTextEdit", ""},
        {"button1003_Execute", "QPushButton", "&Execute!"},
        {"button1004_Extract", "QPushButton", "E&xtract"},
        {"button1006_StreamList", "QPushButton", "--->"},
        {"combo1007_Streams", "QComboBox", ""},
        {"group_StreamExtractor", "QGroupBox", "Stream Extractor"},
        {"group_QueryBuilder", "QGroupBox", "Query Builder"},
        {"button1005_Delete", "QPushButton", "&Delete"},
        {"button1008_DialogList", "QPushButton", "--->"},
        {"combo1009_Dialogs", "QComboBox", ""},
        {"group_DialogManager", "QGroupBox", "Dialog Manager"},
        {"button1010_CopyTo", "QPushButton", "&Copy To..."},
    };
    QList<QWidget*> controls;
    for (QObject* child : m_dialog->children())
      if (auto* widget = qobject_cast<QWidget*>(child); widget && !widget->isWindow()) controls << widget;
    QCOMPARE(controls.size(), int(std::size(expected)));
    QStringList tabOrder;
    for (int i = 0; i < controls.size(); ++i) {
      QCOMPARE(controls[i]->objectName(), QString::fromLatin1(expected[i].objectName));
      QCOMPARE(QString::fromLatin1(controls[i]->metaObject()->className()),
               QString::fromLatin1(expected[i].className));
      QCOMPARE(TextOf(controls[i]), QString::fromLatin1(expected[i].text));
      QVERIFY2(controls[i]->isVisible(), expected[i].objectName);
      const bool takesFocus = !qobject_cast<QLabel*>(controls[i]) && !qobject_cast<QGroupBox*>(controls[i]);
      QCOMPARE(controls[i]->focusPolicy() != Qt::NoFocus, takesFocus);
      if (takesFocus) tabOrder << controls[i]->objectName();
    }
    QWidget* current = Find<QLineEdit>("edit1000_Database");
    for (int i = 1; i < tabOrder.size(); ++i) {
      current = current->nextInFocusChain();
      while (current->focusPolicy() == Qt::NoFocus || current->parentWidget() != m_dialog.get())
        current = current->nextInFocusChain();
      QCOMPARE(current->objectName(), tabOrder[i]);
    }
  }

  void theWindowLooksAsItShould() {
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Brimble Vintrel 1.3"));
    QVERIFY(!(m_dialog->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(m_dialog->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(m_dialog->windowFlags() & Qt::WindowCloseButtonHint);
    const double scale = m_dialog->screen()->logicalDotsPerInchX() / 96.0;
    QVERIFY(qAbs(m_dialog->width() - 479 * scale) <= 2);
    QVERIFY(qAbs(m_dialog->height() - 320 * scale) <= 2);
    const QRect browse = Find<QPushButton>("button1001_Browse")->geometry();
    QVERIFY(qAbs(browse.x() - 255 * 1.5 * scale) <= 1);
    QVERIFY(qAbs(browse.width() - 50 * 1.5 * scale) <= 1);
    QVERIFY(qAbs(browse.height() - 14 * 1.625 * scale) <= 1);
    for (int size : {16, 32, 48}) {
      const QList<QSize> sizes = m_dialog->windowIcon().availableSizes();
      QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    }
    QVERIFY(!m_dialog->windowIcon().pixmap(32, 32).isNull());
    const QPoint offCentre = m_dialog->frameGeometry().center() - m_dialog->screen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 4, "the window opens centred");
    QVERIFY(Find<QPushButton>("button1003_Execute")->isDefault());
    QCOMPARE(QApplication::focusWidget(), Find<QLineEdit>("edit1000_Database"));
    QVERIFY(Find<QPlainTextEdit>("edit1002_Sql")->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn);
    // Both lists start with eleven empty items and no selection.
    for (QComboBox* list : {m_dialog->m_comboStreams, m_dialog->m_comboDialogs}) {
      QVERIFY(list->isVisible() && list->parentWidget() == m_dialog.get());
      QCOMPARE(list->count(), 11);
      QCOMPARE(list->currentIndex(), -1);
      QVERIFY(!list->isEditable());
      for (int i = 0; i < list->count(); ++i) QVERIFY(list->itemText(i).isEmpty());
    }
  }

  void enterInEitherFieldRunsExecute() {
    auto* sql = Find<QPlainTextEdit>("edit1002_Sql");
    sql->setFocus();
    QTest::keyClicks(sql, "SELECT 1");
    QTest::keyClick(sql, Qt::Key_Return);
    // Return is not taken by the field
    QCOMPARE(sql->toPlainText(), QStringLiteral("SELECT 1"));
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open database."});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QCOMPARE(m_box.shown[0].caption, QCoreApplication::applicationName());

    auto* database = Find<QLineEdit>("edit1000_Database");
    database->setFocus();
    QTest::keyClick(database, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(m_box.Texts(), (QStringList{"Cannot open database.", "Cannot open database."}));
  }

  void escapeClosesTheWindow() {
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
  }

  void browseTakesTheChosenPathAndResetsTheStatement() {
    auto* database = Find<QLineEdit>("edit1000_Database");
    auto* sql = Find<QPlainTextEdit>("edit1002_Sql");
    sql->setPlainText("typed but never used");
    m_chooser.answer.path = "/packages/app.msi";
    QTest::mouseClick(Find<QPushButton>("button1001_Browse"), Qt::LeftButton);
    QCOMPARE(m_chooser.calls, 1);
    QCOMPARE(database->text(), QStringLiteral("/packages/app.msi"));
    // the statement of the last feature click comes back
    QCOMPARE(sql->toPlainText(), QString());

    // A feature click stores the statement; Browse then brings that one back.
    sql->setPlainText("SELECT `Dialog` FROM `Dialog`");
    m_dialog->OnExecute();
    sql->setPlainText("typed since");
    QTest::mouseClick(Find<QPushButton>("button1001_Browse"), Qt::LeftButton);
    QCOMPARE(sql->toPlainText(), QStringLiteral("SELECT `Dialog` FROM `Dialog`"));
  }

  // Cancelling empties the field silently; a chooser that fails says so.
  void browseWithoutAPath_data() {
    QTest::addColumn<QString>("failure");
    QTest::newRow("cancelled") << QString();
    QTest::newRow("failed") << QStringLiteral("The chooser cannot be shown.");
  }
  void browseWithoutAPath() {
    QFETCH(QString, failure);
    Find<QLineEdit>("edit1000_Database")->setText("/some/where.msi");
    m_chooser.answer = ChooserResult{QString(), failure};
    QTest::mouseClick(Find<QPushButton>("button1001_Browse"), Qt::LeftButton);
    QCOMPARE(Find<QLineEdit>("edit1000_Database")->text(), QString());
    QCOMPARE(m_box.Texts(), failure.isEmpty() ? QStringList{} : QStringList{failure});
    if (!failure.isEmpty()) QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
  }

  void theChooserOffersPackagesInAnyLetterCase() {
    QFileDialog dialog;
    FileDialogPackageChooser::Configure(dialog);
    QCOMPARE(dialog.nameFilters(), (QStringList{"Windows Installer Packages (*.msi)", "Wise Projects (*.wsi)",
                                                "All Files (*.*)"}));
    QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
    QVERIFY(!(dialog.filter() & QDir::CaseSensitive));
    const QString before = QDir::currentPath();
    QTemporaryDir dir;
    dialog.setDirectory(dir.path());
    QCOMPARE(QDir::currentPath(), before);
  }

  void theRealMessageBoxShowsCaptionTextAndIcon() {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      caption = box->windowTitle();
      text = box->text();
      icon = box->icon();
      box->button(QMessageBox::Ok)->click();
    });
    ApplicationMessageBox messageBox;
    messageBox.Show(u"Windows Installer", u"Function: F", MessageIcon::Error);
    QCOMPARE(caption, QStringLiteral("Windows Installer"));
    QCOMPARE(text, QStringLiteral("Function: F"));
    QCOMPARE(icon, QMessageBox::Critical);
  }

  void theRealChooserGivesTheFullPathOrNothing() {
    QTemporaryDir dir;
    QFile package(dir.filePath("SETUP.MSI"));
    QVERIFY(package.open(QIODevice::WriteOnly));
    package.close();
    for (bool accept : {true, false}) {
      QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->setDirectory(dir.path());
        dialog->selectFile("SETUP.MSI");
        QDialog* base = dialog;  // accept() is public on QDialog
        accept ? base->accept() : base->reject();
      });
      FileDialogPackageChooser chooser;
      const ChooserResult result = chooser.Choose(m_dialog.get());
      QCOMPARE(result.path, accept ? QFileInfo(package).absoluteFilePath() : QString());
      QVERIFY(result.failure.isEmpty());
    }
  }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
