// The window as a user meets it: its controls and keys, Browse, and its
// three parts: the Query Builder ("Execute!" and the result page it
// writes), the Stream Extractor ("--->" and "Extract") and the Dialog
// Manager ("--->", "Delete" and "Copy To...": dialogs listed, deleted and
// copied in users' packages, checked with libmsi).
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <optional>

#include "ApplicationMessageBox.h"
#include "Oracle.h"
#include "Packages.h"
#include "Recorders.h"

const QString kHostileName = QStringLiteral("x' OR Dialog_<>'");

class WindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CVintrelDlg> m_dialog;
  // The current folder (where the result page goes) and the packages' copies;
  // its "tmp" is the temporary folder (where streams go).
  std::unique_ptr<QTemporaryDir> m_dir;
  QString m_tmpdir, m_startDir;
  QByteArray m_savedTmpdir;
  RecordingMessageBox m_box;
  RecordingOpener m_opener;
  ScriptedChooser m_chooser;

  struct Expected {
    const char* objectName;
    const char* className;
    const char* text;
  };

  template <class T>
  T* Find(const char* name) {
    T* widget = m_dialog->findChild<T*>(QString::fromLatin1(name));
    if (!widget) qFatal("no control %s", name);
    return widget;
  }
  // A button's, label's or field's text, a group's title.
  static QString TextOf(QWidget* widget) {
    for (const char* name : {"text", "title", "plainText"})
      if (const QVariant value = widget->property(name); value.isValid()) return value.toString();
    return QString();
  }

  void Execute(const QString& database, const QString& statement) {
    SetDatabase(*m_dialog, database);
    Find<QPlainTextEdit>("edit1002_Sql")->setPlainText(statement);
    m_dialog->OnExecute();
  }
  QString PagePath() const { return m_dir->filePath("result.html"); }
  QByteArray Page() const { return FileBytes(PagePath()); }
  // The page for `rows` (the table after its header row); the texts used
  // with it hold no markup characters but quotes.
  static QByteArray PageOf(const QString& package, const QString& statement, const QByteArray& rows) {
    return "<html><head><title>" + package.toLatin1() + "</title></head><body><h1>" + package.toLatin1() +
           "</h1><h2>" + statement.toLatin1().replace("'", "&#39;") + "</h2><table border=1 width=90%>" + rows +
           "</table></body></html>";
  }

  QComboBox* Streams() { return m_dialog->m_comboStreams; }
  bool Select(const QString& name) {
    const int index = Streams()->findText(name, Qt::MatchExactly);
    Streams()->setCurrentIndex(index);
    return index >= 0;
  }
  QString TmpPath(const QString& name) const { return QDir(m_tmpdir).filePath(name); }
  QStringList TmpEntries() const {
    return QDir(m_tmpdir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  }
  // Lists the package's streams and extracts `name`; gives the file written.
  QString Extract(const QString& package, const QString& name) {
    m_box.shown.clear();
    SetDatabase(*m_dialog, package);
    m_dialog->OnStreamList();
    if (!Select(name)) return QStringLiteral("(no item %1)").arg(name);
    m_dialog->OnExtract();
    if (m_box.shown.size() != 1 || m_box.shown[0].icon != MessageIcon::Information)
      return QStringLiteral("(failed: %1)").arg(m_box.Texts().join('|'));
    return m_box.shown[0].text;
  }

  QComboBox* Dialogs() { return m_dialog->m_comboDialogs; }
  void ListAndSelect(const QString& package, const QString& name) {
    SetDatabase(*m_dialog, package);
    m_dialog->OnDialogList();
    Dialogs()->setCurrentIndex(Dialogs()->findText(name, Qt::MatchExactly));
    QVERIFY2(name.isEmpty() || Dialogs()->currentText() == name, qPrintable(name));
    if (name.isEmpty()) Dialogs()->setCurrentIndex(-1);
    m_box.shown.clear();
  }
  void ExpectDone(const QString& dialog) {
    QCOMPARE(m_box.Texts(), QStringList{dialog});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Information);
  }

 private slots:
  void init() {
    m_startDir = QDir::currentPath();
    m_savedTmpdir = qgetenv("TMPDIR");
    m_dir = std::make_unique<QTemporaryDir>();
    m_tmpdir = m_dir->filePath("tmp");
    QVERIFY(QDir().mkdir(m_tmpdir));
    QVERIFY(QDir::setCurrent(m_dir->path()));
    qputenv("TMPDIR", m_tmpdir.toLocal8Bit());
    m_dialog = RecordedWindow(m_box, m_chooser, m_opener);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
  }
  void cleanup() {
    m_dialog.reset();
    QDir::setCurrent(m_startDir);
    if (m_savedTmpdir.isNull()) qunsetenv("TMPDIR"); else qputenv("TMPDIR", m_savedTmpdir);
    m_dir.reset();
  }

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
    for (int size : {16, 32, 48}) QVERIFY(m_dialog->windowIcon().availableSizes().contains(QSize(size, size)));
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

  // The real chooser offers packages in any letter case, leaves the current
  // folder alone, and gives the full path or nothing.
  void theRealChooserGivesTheFullPathOrNothing() {
    QTemporaryDir dir;
    QFile package(dir.filePath("SETUP.MSI"));
    QVERIFY(package.open(QIODevice::WriteOnly));
    package.close();
    const QString cwd = QDir::currentPath();
    for (bool accept : {true, false}) {
      QStringList filters;
      QFileDialog::FileMode mode = QFileDialog::Directory;
      bool caseSensitive = true;
      QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        filters = dialog->nameFilters();
        mode = dialog->fileMode();
        caseSensitive = dialog->filter() & QDir::CaseSensitive;
        dialog->setDirectory(dir.path());
        dialog->selectFile("SETUP.MSI");
        QDialog* base = dialog;  // accept() is public on QDialog
        accept ? base->accept() : base->reject();
      });
      FileDialogPackageChooser chooser;
      const ChooserResult result = chooser.Choose(m_dialog.get());
      QCOMPARE(result.path, accept ? QFileInfo(package).absoluteFilePath() : QString());
      QVERIFY(result.failure.isEmpty());
      QCOMPARE(filters, (QStringList{"Windows Installer Packages (*.msi)", "Wise Projects (*.wsi)",
                                     "All Files (*.*)"}));
      QCOMPARE(mode, QFileDialog::ExistingFile);
      QVERIFY(!caseSensitive);
      QCOMPARE(QDir::currentPath(), cwd);
    }
  }

  void pagesComeOutByteForByte_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("typed");  // the package's name in the field, a copy in the current folder
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QByteArray>("rows");
    QTest::newRow("example") << "example" << "C:\\p.msi" << "SELECT `Property`,`Value` FROM `Property`"
                             << QByteArray("<tr><th>Property</th><th>Value</th></tr>"
                                           "<tr><td>Manufacturer</td><td>&nbsp;</td></tr>");
    QTest::newRow("nulls and order")
        << "hostile" << "h.msi"
        << "SELECT `Property`,`Value` FROM `Property` WHERE `Property`='Null' OR `Property`='Amp' "
           "ORDER BY `Property`"
        << QByteArray("<tr><th>Property</th><th>Value</th></tr>"
                      "<tr><td>Amp</td><td>Tom &amp; Jerry &quot;quoted&quot; &#39;single&#39;</td></tr>"
                      "<tr><td>Null</td><td>&nbsp;</td></tr>");
    QTest::newRow("no rows") << "dialogs" << "d.msi"
                             << "SELECT `Dialog`,`Title` FROM `Dialog` WHERE `Dialog`='None'"
                             << QByteArray("<tr><th>Dialog</th><th>Title</th></tr>");
    QTest::newRow("integers") << "dialogs" << "d.msi"
                              << "SELECT `Dialog`,`Width`,`Attributes` FROM `Dialog` WHERE `Dialog`='ExitDlg'"
                              << QByteArray("<tr><th>Dialog</th><th>Width</th><th>Attributes</th></tr>"
                                            "<tr><td>ExitDlg</td><td>370</td><td>3</td></tr>");
    // A percent sign reaches the engine unchanged.
    QTest::newRow("percent sign") << "hostile" << "h.msi"
                                  << "SELECT `Property` FROM `Property` WHERE `Value`='100%d %s'"
                                  << QByteArray("<tr><th>Property</th></tr><tr><td>Percent</td></tr>");
  }
  void pagesComeOutByteForByte() {
    QFETCH(QString, fixture);
    QFETCH(QString, typed);
    QFETCH(QString, statement);
    QFETCH(QByteArray, rows);
    QVERIFY(QFile::copy(FixturePackage(fixture), m_dir->filePath(typed)));
    Execute(typed, statement);
    QVERIFY2(m_box.shown.empty(), qPrintable(m_box.Texts().join('|')));
    QCOMPARE(Page(), PageOf(typed, statement, rows));
    QCOMPARE(m_opener.opened, QStringList{"result.html"});
  }

  // Each button's failures: one error box that says why, an earlier page
  // left alone, nothing opened, extracted or chosen.
  void everyButtonSaysWhyItFailed_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("message");
    const QString execute = "button1003_Execute", query = "SELECT * FROM `Property`";
    const QString open = "Cannot open database.", view = "Cannot open view.";
    const QString dialogs = FixturePackage("dialogs");
    QTest::newRow("empty path") << execute << "" << query << open;
    QTest::newRow("no such file") << execute << "/nonexistent/x.msi" << query << open;
    QTest::newRow("not a package") << execute << QStringLiteral(VINTREL_SELF_SOURCE) << query << open;
    QTest::newRow("bad syntax") << execute << dialogs << "SELEKT nothing" << view;
    QTest::newRow("unknown table") << execute << dialogs << "SELECT * FROM `Nowhere`" << view;
    QTest::newRow("empty statement") << execute << dialogs << "" << view;
    QTest::newRow("streams, empty path") << "button1006_StreamList" << "" << "" << open;
    QTest::newRow("extract, empty path") << "button1004_Extract" << "" << "" << open;
    QTest::newRow("extract, nothing selected")
        << "button1004_Extract" << dialogs << "" << "Cannot fetch record.";
    QTest::newRow("dialogs, empty path") << "button1008_DialogList" << "" << "" << open;
    QTest::newRow("delete, empty path") << "button1005_Delete" << "" << "" << open;
    QTest::newRow("copy, empty path") << "button1010_CopyTo" << "" << "" << "Cannot open source database.";
  }
  void everyButtonSaysWhyItFailed() {
    QFETCH(QString, button);
    QFETCH(QString, database);
    QFETCH(QString, statement);
    QFETCH(QString, message);
    QFile earlier(PagePath());
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier page");
    earlier.close();
    SetDatabase(*m_dialog, database);
    Find<QPlainTextEdit>("edit1002_Sql")->setPlainText(statement);
    QTest::mouseClick(Find<QPushButton>(qPrintable(button)), Qt::LeftButton);
    QCOMPARE(m_box.Texts(), QStringList{message});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QCOMPARE(m_box.shown[0].caption, QCoreApplication::applicationName());
    QCOMPARE(Page(), QByteArray("earlier page"));
    QVERIFY(m_opener.opened.isEmpty());
    QVERIFY(TmpEntries().isEmpty());
    QCOMPARE(m_chooser.calls, 0);
  }

  void aChangingStatementLeavesThePackageAsItWas() {
    const QString package = CopyPackage(FixturePackage("dialogs"), *m_dir, "change.msi");
    const QByteArray before = FileBytes(package);
    for (const char* statement :
         {"DELETE FROM `Control` WHERE `Dialog_`='ExitDlg'", "UPDATE `Property` SET `Value`='x' WHERE `Property`='ProductName'",
          "INSERT INTO `Property` (`Property`,`Value`) VALUES ('New','1')",
          "CREATE TABLE `T` (`A` CHAR(5) NOT NULL PRIMARY KEY `A`)", "DROP TABLE `TextStyle`"}) {
      m_box.shown.clear();
      m_opener.opened.clear();
      QFile::remove(PagePath());
      Execute(package, statement);
      QCOMPARE(FileBytes(package), before);
      if (m_box.Texts() == QStringList{"Cannot open view."} || m_box.Texts() == QStringList{"Cannot execute view."}) {
        QVERIFY(!QFile::exists(PagePath()));
        continue;
      }
      // Run on the read-only package: a page with a header row without
      // column names; a statement that has no rows to fetch may say so.
      QVERIFY2(m_box.shown.empty() || m_box.Texts() == QStringList{"Cannot fetch record."},
               qPrintable(m_box.Texts().join('|')));
      QVERIFY2(Page().endsWith("<table border=1 width=90%><tr></tr></table></body></html>"), Page().constData());
      QCOMPARE(m_opener.opened, QStringList{"result.html"});
    }
  }

  void aPageThatCannotBeWrittenIsReportedAndNotOpened_data() {
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("message");
    QTest::newRow("unwritable file") << "file" << "Cannot open result file.";
    QTest::newRow("unwritable folder") << "folder" << "Cannot open result file.";
    QTest::newRow("full disk") << "full" << "Cannot write result file.";
  }
  void aPageThatCannotBeWrittenIsReportedAndNotOpened() {
    QFETCH(QString, obstacle);
    QFETCH(QString, message);
    QByteArray before;
    if (obstacle == "file") {
      QFile locked(PagePath());
      QVERIFY(locked.open(QIODevice::WriteOnly));
      before = "locked page";
      locked.write(before);
    } else if (obstacle == "full") {
      if (!QFile::exists("/dev/full")) QSKIP("no /dev/full to stand for a full disk");
      QVERIFY(QFile::link("/dev/full", PagePath()));
    }
    {
      std::optional<UnwritableGuard> guard;
      if (obstacle != "full") guard.emplace(obstacle == "file" ? PagePath() : m_dir->path());
      if (guard && !guard->Active()) QSKIP("cannot make that unwritable here");
      Execute(FixturePackage("dialogs"), "SELECT * FROM `Control`");
    }
    QCOMPARE(m_box.Texts(), QStringList{message});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    if (obstacle != "full") QCOMPARE(Page(), before);
    if (obstacle == "folder") QVERIFY(!QFile::exists(PagePath()));
    QVERIFY(m_opener.opened.isEmpty());
  }

  // Markup in the package's texts, its name and the statement stays text:
  // in the page's bytes (how each text is written is the page text's table)
  // and, when Chromium is there, in what a browser shows.
  void markupFromThePackageStaysText() {
    const QString package = CopyPackage(FixturePackage("hostile"), *m_dir, "<i>x'&.msi");
    const QString statement = "SELECT `Property`,`Value` FROM `Property` WHERE `Property`<>'<b>'";
    Execute(package, statement);
    QVERIFY(m_box.shown.empty());
    const QByteArray page = Page();
    for (const char* element : {"<script", "<img", "<b>", "<i>"}) QVERIFY2(!page.contains(element), element);

    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty()) QSKIP("chromium is not installed: the hostile page is not checked in a browser");
    QTemporaryDir profile;
    ts::RunOptions options;
    options.limit = std::chrono::seconds(120);
    const ts::RunResult browser = ts::Run(
        {chromium.toStdString(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + profile.path().toStdString(), "--dump-dom",
         QUrl::fromLocalFile(PagePath()).toString().toStdString()},
        options);
    QVERIFY2(browser.exit_code == 0, browser.Describe().c_str());
    const QString dom = QString::fromLatin1(browser.out.data(), static_cast<qsizetype>(browser.out.size()));
    QVERIFY2(dom.contains("<table"), qPrintable(dom.left(2000)));
    // Nothing ran: no element came from the package, the title is untouched.
    for (const char* element : {"<script", "<img", "<b>", "pwned</title>"})
      QVERIFY2(!dom.contains(element), element);
    const QString title = QString(package).replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;");
    QVERIFY(dom.contains("<title>" + title + "</title>"));
    // The texts show as written.
    QVERIFY(dom.contains("&lt;script&gt;document.title='pwned'&lt;/script&gt;"));
    QVERIFY(dom.contains("&lt;img src=x onerror=\"document.title='img'\"&gt;"));
    QVERIFY(dom.contains("Tom &amp; Jerry \"quoted\" 'single'"));
    QVERIFY(dom.contains("&amp;lt;b&amp;gt;not bold&amp;lt;/b&amp;gt;"));
  }

  void listingShowsEveryStreamSortedAndSelectsTheFirst() {
    SetDatabase(*m_dialog, FixturePackage("dialogs"));
    m_dialog->OnStreamList();
    QVERIFY(m_box.shown.empty());
    const QStringList items = Items(Streams());  // the extraction's table finds each by name
    QStringList sorted = items;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QCOMPARE(items, sorted);
    QCOMPARE(Streams()->currentIndex(), 0);
  }

  // A failed listing keeps the items and selects the first; a temporary
  // folder that is not there takes no file.
  void failedListingOrExtractionWritesNothing() {
    m_dialog->OnStreamList();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open database."});
    QCOMPARE(Streams()->count(), 11);
    QCOMPARE(Streams()->currentIndex(), 0);
    m_box.shown.clear();
    SetDatabase(*m_dialog, FixturePackage("dialogs"));
    m_dialog->OnStreamList();
    QVERIFY(Select("Payload.bin"));
    qputenv("TMPDIR", TmpPath("missing").toLocal8Bit());
    m_dialog->OnExtract();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot extract file."});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QVERIFY(TmpEntries().isEmpty());
  }

  // Each stream lands in one file named after it inside the temporary
  // folder, with the bytes the package was built from. A file or link
  // already there is replaced, not written through.
  void extractionWritesTheStreamsBytes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("source");  // the fixture's data file
    QTest::addColumn<QString>("before");  // "", "larger" or "link"
    QTest::newRow("ordinary") << "Payload.bin" << "Payload.bin.TMP" << "payload.bin" << "";
    QTest::newRow("empty") << "Empty" << "Empty.TMP" << "empty.bin" << "";
    QTest::newRow("two whole kilobytes") << "Exact2048" << "Exact2048.TMP" << "exact.bin" << "";
    QTest::newRow("quote in the name") << "it's" << "it's.TMP" << "payload.bin" << "";
    QTest::newRow("control character") << "\005SummaryInformation" << "_SummaryInformation.TMP" << "" << "";
    QTest::newRow("over a larger file") << "Payload.bin" << "Payload.bin.TMP" << "payload.bin" << "larger";
    QTest::newRow("over a planted link") << "Payload.bin" << "Payload.bin.TMP" << "payload.bin" << "link";
  }
  void extractionWritesTheStreamsBytes() {
    QFETCH(QString, name);
    QFETCH(QString, file);
    QFETCH(QString, source);
    QFETCH(QString, before);
    const QString victim = m_dir->filePath("victim");
    QFile old(before == "link" ? victim : TmpPath(file));
    if (!before.isEmpty()) {
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write(QByteArray(9000, 'z'));
      old.close();
    }
    if (before == "link") QVERIFY(QFile::link(victim, TmpPath(file)));
    const QString path = Extract(FixturePackage("dialogs"), name);
    QCOMPARE(path, TmpPath(file));
    QCOMPARE(TmpEntries(), QStringList{file});
    QVERIFY(!QFileInfo(path).isSymLink());
    if (before == "link") QCOMPARE(FileBytes(victim), QByteArray(9000, 'z'));
    if (!source.isEmpty())
      QCOMPARE(FileBytes(path), FileBytes(QStringLiteral(VINTREL_FIXTURE_SOURCE "/dialogs/data/") + source));
    else
      QVERIFY(FileBytes(path).startsWith(QByteArray::fromHex("feff0000")));
  }

  void everyCorpusStreamMatchesLibmsi() {
    if (ts::CorpusPackages().empty()) QSKIP("the shared corpus is absent: corpus streams are not checked");
    REQUIRE_LIBMSI();
    for (const ts::fs::path& path : ts::CorpusPackages()) {
      const QString package = QString::fromStdString(path.string());
      m_box.shown.clear();
      SetDatabase(*m_dialog, package);
      m_dialog->OnStreamList();
      QVERIFY2(m_box.shown.empty(), qPrintable(package + ": " + m_box.Texts().join('|')));
      // libmsi's list as it is, repeated names included.
      QStringList names = QString::fromStdString(ts::Run({ts::MsiInfo(), "streams", path.string()}).out)
                              .split('\n', Qt::SkipEmptyParts);
      QStringList listed = Items(Streams());
      names.sort();
      listed.sort();
      QCOMPARE(listed, names);
      for (const auto& [name, bytes] : ts::OracleStreams(path)) {
        const QString file = Extract(package, QString::fromStdString(name));
        QVERIFY2(QFileInfo(file).absolutePath() == QFileInfo(m_tmpdir).absoluteFilePath(), qPrintable(file));
        QVERIFY2(FileBytes(file) == QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                 qPrintable(package + " / " + file));
        QFile::remove(file);
      }
    }
  }

  void listingShowsTheDialogsSortedOrSaysWhyNot() {
    SetDatabase(*m_dialog, FixturePackage("dialogs"));
    m_dialog->OnDialogList();
    QVERIFY(m_box.shown.empty());
    QCOMPARE(Items(Dialogs()), (QStringList{"CancelDlg", "ExitDlg", "WelcomeDlg", kHostileName}));
    QCOMPARE(Dialogs()->currentIndex(), 0);
    // A package without dialogs empties the list.
    SetDatabase(*m_dialog, FixturePackage("hostile"));
    m_dialog->OnDialogList();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open view."});
    QCOMPARE(Dialogs()->count(), 0);
    QCOMPARE(Dialogs()->currentIndex(), -1);
  }

  // Delete removes exactly the dialog's rows (a second time matches nothing
  // and says the same). Copy To replaces the target's rows of the dialog, if
  // any, column by column; rows the target has no table or column for, and
  // tables the source lacks, show one error box each.
  void deleteAndCopyChangeOnlyTheDialogsRows_data() {
    QTest::addColumn<bool>("copy");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("original");  // of the target; empty: the source itself
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("failures");  // each box's first, second and last line
    QTest::addColumn<QStringList>("uncopied");  // tables left without the dialog's rows
    const QString dialogs = FixturePackage("dialogs"), reordered = FixturePackage("reordered");
    const QString putty = CorpusPackage("putty-0.68-installer.msi"), nunit = CorpusPackage("nunit-2.5.2.msi");
    // The tables a package lacks are skipped.
    for (const auto& [name, source, dialog] :
         {std::tuple{"delete", dialogs, QStringLiteral("WelcomeDlg")},
          {"delete, hostile name", dialogs, kHostileName},
          {"delete, empty name", dialogs, QString()},
          {"delete, lacking tables", FixturePackage("partial"), "LicenseDlg"},
          {"delete, corpus", nunit, "LicenseAgreementDlg"}})
      QTest::newRow(name) << false << source << QString() << dialog << QStringList() << kDialogTables;
    for (const auto& [name, source, original, dialog] :
         {std::tuple{"copy, reordered columns", dialogs, reordered, QStringLiteral("WelcomeDlg")},
          {"copy, hostile name", dialogs, reordered, kHostileName},
          {"copy, into the source", dialogs, QString(), "WelcomeDlg"},
          {"copy, corpus", nunit.isEmpty() ? QString() : putty, nunit, "WelcomeDlg"}})
      QTest::newRow(name) << true << source << original << dialog << QStringList() << QStringList();
    // Three controls have no Help column to go to, two events no table.
    const QString target = "Function: CopyRecords Target View|Error: 1615 (0x0000064F)|SELECT ";
    const QString control = target + "`Dialog_`,`Control`,`Type`,`X`,`Y`,`Width`,`Height`,`Attributes`,"
                                     "`Property`,`Text`,`Control_Next`,`Help` FROM Control";
    const QString event =
        target + "`Dialog_`,`Control_`,`Event`,`Argument`,`Condition`,`Ordering` FROM ControlEvent";
    QTest::newRow("copy, target lacking") << true << dialogs << FixturePackage("lacking") << "ExitDlg"
                                    << QStringList{control, control, control, event, event}
                                    << QStringList{"Control", "ControlEvent"};
    const QString source =
        "Function: CopyRecords Source View|Error: 1615 (0x0000064F)|SELECT * FROM %1 WHERE Dialog_=?";
    QTest::newRow("copy, source lacking") << true << FixturePackage("partial") << dialogs << "WelcomeDlg"
                                    << QStringList{source.arg("ControlCondition"), source.arg("ControlEvent"),
                                                   source.arg("EventMapping")}
                                    << QStringList();
  }
  void deleteAndCopyChangeOnlyTheDialogsRows() {
    QFETCH(bool, copy);
    QFETCH(QString, source);
    QFETCH(QString, original);
    QFETCH(QString, dialog);
    QFETCH(QStringList, failures);
    QFETCH(QStringList, uncopied);
    if (source.isEmpty()) QSKIP("the shared corpus or its putty and nunit packages are absent");
    REQUIRE_LIBMSI();
    const bool self = original.isEmpty();
    if (self) original = source;
    const QString target = CopyPackage(original, *m_dir, "target.msi");
    ListAndSelect(self ? target : source, dialog);
    if (!copy && !dialog.isEmpty()) QVERIFY(!OracleDialogRows(target, "Control", dialog).isEmpty());
    m_chooser.answer.path = target;
    copy ? m_dialog->OnCopyTo() : m_dialog->OnDelete();
    QCOMPARE(m_chooser.calls, copy ? 1 : 0);
    QStringList boxes;
    for (const ShownMessage& box : m_box.shown) {
      const QStringList lines = box.text.split('\n');
      boxes << (lines.size() == 1 ? box.text : lines[0] + '|' + lines[1] + '|' + lines.last());
      const bool last = boxes.size() == int(m_box.shown.size());
      QCOMPARE(box.icon, last ? MessageIcon::Information : MessageIcon::Error);
    }
    QCOMPARE(boxes, failures + QStringList{dialog});
    for (const QString& table : kDialogTables) {
      QCOMPARE(OracleDialogRows(target, table, dialog, Rows::NamedOf),
               uncopied.contains(table) ? QStringList()
                                        : OracleDialogRows(source, table, dialog, Rows::NamedOf));
      QCOMPARE(OracleDialogRows(target, table, dialog, Rows::Without),
               OracleDialogRows(original, table, dialog, Rows::Without));
    }
    QCOMPARE(OracleSnapshot(target, kDialogTables), OracleSnapshot(original, kDialogTables));
    // The list is not refreshed, and the target is used for this copy only.
    QCOMPARE(Dialogs()->currentText(), dialog);
    QCOMPARE(m_dialog->m_strDatabase, self ? target : source);
    if (copy) return;
    const QString afterFirst = OracleSnapshot(target);
    m_box.shown.clear();
    m_dialog->OnDelete();
    ExpectDone(dialog);
    QCOMPARE(OracleSnapshot(target), afterFirst);
  }

  void aCancelledChooserChangesNothing() {
    ListAndSelect(FixturePackage("dialogs"), "ExitDlg");
    m_dialog->OnCopyTo();
    QCOMPARE(m_chooser.calls, 1);
    QCOMPARE(m_box.Texts(), QStringList{"ExitDlg"});
  }

  // A package that cannot be written, in a folder that cannot take a file, or
  // on a full disk: refused when opened or when committed, never reported as
  // done, and left as it was.
  void aPackageThatCannotBeWrittenIsLeftAsItWas_data() {
    QTest::addColumn<bool>("copy");  // the package is the target of a copy; else deleted from
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QStringList>("answers");  // one of these box texts
    const QString open = "Cannot open database.", commit = "Cannot commit database.";
    const QString target = "Cannot open target database.";
    QTest::newRow("delete, file") << false << "file" << QStringList{open};
    QTest::newRow("delete, folder") << false << "folder" << QStringList{open, commit};
    QTest::newRow("delete, full") << false << "full" << QStringList{commit};
    QTest::newRow("copy, file") << true << "file" << QStringList{target + "|WelcomeDlg"};
    QTest::newRow("copy, folder") << true << "folder" << QStringList{target + "|WelcomeDlg", commit};
    QTest::newRow("copy, full") << true << "full" << QStringList{commit};
  }
  void aPackageThatCannotBeWrittenIsLeftAsItWas() {
    QFETCH(bool, copy);
    QFETCH(QString, obstacle);
    QFETCH(QStringList, answers);
    QVERIFY(QDir(m_dir->path()).mkdir("locked"));
    const QString package =
        CopyPackage(FixturePackage(copy ? "reordered" : "dialogs"), *m_dir, "locked/package.msi");
    const QByteArray before = FileBytes(package);
    std::optional<UnwritableGuard> unwritable;
    std::optional<FileSizeLimitGuard> full;
    if (obstacle == "full")
      full.emplace(1024);
    else
      unwritable.emplace(obstacle == "file" ? package : m_dir->filePath("locked"));
    if (!(full ? full->Active() : unwritable->Active())) QSKIP("cannot make that unwritable here");
    // Listing opens read-only and works.
    ListAndSelect(copy ? FixturePackage("dialogs") : package, "WelcomeDlg");
    QCOMPARE(Dialogs()->count(), 4);
    m_chooser.answer.path = package;
    copy ? m_dialog->OnCopyTo() : m_dialog->OnDelete();
    unwritable.reset();
    full.reset();
    QVERIFY2(answers.contains(m_box.Texts().join('|')), qPrintable(m_box.Texts().join('|')));
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    if (m_box.shown.size() > 1) QCOMPARE(m_box.shown[1].icon, MessageIcon::Information);
    QCOMPARE(FileBytes(package), before);
    QCOMPARE(QDir(m_dir->filePath("locked")).entryList(QDir::Files | QDir::Hidden), QStringList{"package.msi"});
  }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
