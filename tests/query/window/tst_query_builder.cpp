// "Execute!" and the result page it writes.
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QtTest>
#include <optional>

#include "Packages.h"
#include "Recorders.h"

class QueryBuilderTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CVintrelDlg> m_dialog;
  std::unique_ptr<QTemporaryDir> m_cwd;
  QString m_startDir;
  RecordingMessageBox m_box;
  RecordingOpener m_opener;
  ScriptedChooser m_chooser;

  void Execute(const QString& database, const QString& statement) {
    SetDatabase(*m_dialog, database);
    m_dialog->findChild<QPlainTextEdit*>("edit1002_Sql")->setPlainText(statement);
    m_dialog->OnExecute();
  }
  QString PagePath() const { return m_cwd->filePath("result.html"); }
  QByteArray Page() const { return FileBytes(PagePath()); }
  // The page for `rows` (the table after its header row); the texts used
  // with it hold no markup characters but quotes.
  static QByteArray PageOf(const QString& package, const QString& statement, const QByteArray& rows) {
    return "<html><head><title>" + package.toLatin1() + "</title></head><body><h1>" + package.toLatin1() +
           "</h1><h2>" + statement.toLatin1().replace("'", "&#39;") + "</h2><table border=1 width=90%>" + rows +
           "</table></body></html>";
  }

 private slots:
  void init() {
    m_startDir = QDir::currentPath();
    m_cwd = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(m_cwd->path()));
    m_dialog = RecordedWindow(m_box, m_chooser, m_opener);
  }
  void cleanup() {
    m_dialog.reset();
    QDir::setCurrent(m_startDir);
    m_cwd.reset();
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
    QVERIFY(QFile::copy(FixturePackage(fixture), m_cwd->filePath(typed)));
    Execute(typed, statement);
    QVERIFY2(m_box.shown.empty(), qPrintable(m_box.Texts().join('|')));
    QCOMPARE(Page(), PageOf(typed, statement, rows));
    QCOMPARE(m_opener.opened, QStringList{"result.html"});
  }

  void failuresBeforeThePageLeaveAnEarlierPageAlone_data() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty path") << "" << "SELECT * FROM `Property`" << "Cannot open database.";
    QTest::newRow("no such file") << "/nonexistent/x.msi" << "SELECT * FROM `Property`" << "Cannot open database.";
    QTest::newRow("not a package") << QStringLiteral(VINTREL_SELF_SOURCE) << "SELECT * FROM `Property`" << "Cannot open database.";
    QTest::newRow("bad syntax") << FixturePackage("dialogs") << "SELEKT nothing" << "Cannot open view.";
    QTest::newRow("unknown table") << FixturePackage("dialogs") << "SELECT * FROM `Nowhere`" << "Cannot open view.";
    QTest::newRow("empty statement") << FixturePackage("dialogs") << "" << "Cannot open view.";
  }
  void failuresBeforeThePageLeaveAnEarlierPageAlone() {
    QFETCH(QString, database);
    QFETCH(QString, statement);
    QFETCH(QString, message);
    QFile earlier(PagePath());
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier page");
    earlier.close();
    Execute(database, statement);
    QCOMPARE(m_box.Texts(), QStringList{message});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QCOMPARE(m_box.shown[0].caption, QCoreApplication::applicationName());
    QCOMPARE(Page(), QByteArray("earlier page"));
    QVERIFY(m_opener.opened.isEmpty());
  }

  void aChangingStatementLeavesThePackageAsItWas() {
    const QString package = CopyPackage(FixturePackage("dialogs"), *m_cwd, "change.msi");
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
      if (obstacle != "full") guard.emplace(obstacle == "file" ? PagePath() : m_cwd->path());
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
  // in the page's bytes and, when Chromium is there, in what a browser shows.
  void markupFromThePackageStaysText() {
    const QString package = CopyPackage(FixturePackage("hostile"), *m_cwd, "<i>x'&.msi");
    const QString statement = "SELECT `Property`,`Value` FROM `Property` WHERE `Property`<>'<b>'";
    Execute(package, statement);
    QVERIFY(m_box.shown.empty());
    const QByteArray page = Page();
    for (const char* element : {"<script", "<img", "<b>", "<i>"}) QVERIFY2(!page.contains(element), element);
    QVERIFY(page.contains("<h2>" + statement.toLatin1().replace("<", "&lt;").replace(">", "&gt;").replace("'", "&#39;") +
                          "</h2>"));
    QVERIFY(page.contains("<td>&lt;script&gt;document.title=&#39;pwned&#39;&lt;/script&gt;</td>"));
    QVERIFY(page.contains("<td>&amp;lt;b&amp;gt;not bold&amp;lt;/b&amp;gt;</td>"));

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
};

QTEST_MAIN(QueryBuilderTest)
#include "tst_query_builder.moc"
