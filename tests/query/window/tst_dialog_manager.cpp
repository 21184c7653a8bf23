// "--->", "Delete" and "Copy To...": dialogs listed, deleted and copied in
// users' packages, checked with libmsi as well as with our engine.
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>
#include <optional>

#include "Oracle.h"
#include "Packages.h"
#include "Recorders.h"
#include "VintrelDlg.h"
#include "msi/MsiDatabase.h"
#include "msi/MsiView.h"

namespace {

const QString kHostileName = QStringLiteral("x' OR Dialog_<>'");

// Our engine's count of the rows of `dialog` in `table`; -1 without table.
int EngineRowCount(const QString& package, const QString& table, const QString& dialog) {
  CMsiDatabase database;
  if (!database.Open(package.toStdU16String(), MSIDBOPEN_READONLY)) return -2;
  CMsiRecord parameters;
  CMsiRecord::Create(parameters, 1);
  parameters.SetString(1, dialog.toStdU16String());
  CMsiView view(database.Handle(), u"SELECT * FROM %s WHERE %s=?", table.toStdU16String(),
                table == QStringLiteral("Dialog") ? u"Dialog" : u"Dialog_");
  if (view.m_nError != ERROR_SUCCESS || !view.Execute(parameters)) return -1;
  CMsiRecord row;
  int count = 0;
  while (view.Fetch(row)) ++count;
  return count;
}

// A corpus package's path, empty when the corpus or the package is absent.
QString CorpusPackage(const QString& name) {
  const QString path = CorpusDir() + QLatin1Char('/') + name;
  return !CorpusDir().isEmpty() && QFile::exists(path) ? path : QString();
}

}  // namespace

class DialogManagerTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CVintrelDlg> m_dialog;
  std::unique_ptr<QTemporaryDir> m_dir;
  RecordingMessageBox m_box;
  RecordingOpener m_opener;
  ScriptedChooser m_chooser;

  void SetDatabase(const QString& path) { m_dialog->findChild<QLineEdit*>("edit1000_Database")->setText(path); }
  QComboBox* Dialogs() { return m_dialog->m_comboDialogs; }
  QStringList Items() {
    QStringList items;
    for (int i = 0; i < Dialogs()->count(); ++i) items << Dialogs()->itemText(i);
    return items;
  }
  void ListAndSelect(const QString& package, const QString& name) {
    SetDatabase(package);
    m_dialog->OnDialogList();
    Dialogs()->setCurrentIndex(Dialogs()->findText(name, Qt::MatchExactly));
    QVERIFY2(name.isEmpty() || Dialogs()->currentText() == name, qPrintable(name));
    if (name.isEmpty()) Dialogs()->setCurrentIndex(-1);
    m_box.shown.clear();
  }
  QString Copy(const QString& fixture, const QString& name) { return CopyPackage(fixture, *m_dir, name); }
  void RequireOracle() {
    if (!OracleAvailable()) QSKIP("msiinfo (msitools) is not installed: no second opinion");
  }
  void ExpectDone(const QString& dialog) {
    QCOMPARE(m_box.Texts(), QStringList{dialog});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Information);
  }

 private slots:
  void init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_dialog = std::make_unique<CVintrelDlg>();
    m_box.shown.clear();
    m_chooser = ScriptedChooser();
    m_dialog->SetMessageBox(&m_box);
    m_dialog->SetDocumentOpener(&m_opener);
    m_dialog->SetPackageChooser(&m_chooser);
  }
  void cleanup() {
    m_dialog.reset();
    m_dir.reset();
  }

  void listingShowsTheDialogsSortedOrSaysWhyNot() {
    SetDatabase(FixturePackage("dialogs"));
    m_dialog->OnDialogList();
    QVERIFY(m_box.shown.empty());
    QCOMPARE(Items(), (QStringList{"CancelDlg", "ExitDlg", "WelcomeDlg", kHostileName}));
    QCOMPARE(Dialogs()->currentIndex(), 0);
    // A package without dialogs empties the list.
    SetDatabase(FixturePackage("hostile"));
    m_dialog->OnDialogList();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open view."});
    QCOMPARE(Dialogs()->count(), 0);
    QCOMPARE(Dialogs()->currentIndex(), -1);
    m_box.shown.clear();
    SetDatabase("");
    m_dialog->OnDialogList();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open database."});
  }

  void deleteRemovesExactlyTheDialogsRows_data() {
    QTest::addColumn<QString>("original");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("ordinary") << FixturePackage("dialogs") << "WelcomeDlg";
    QTest::newRow("hostile name") << FixturePackage("dialogs") << kHostileName;
    QTest::newRow("empty name") << FixturePackage("dialogs") << QString();
    // The tables the package lacks are skipped; the others lose the rows.
    QTest::newRow("lacking tables") << FixturePackage("partial") << "LicenseDlg";
    QTest::newRow("corpus") << CorpusPackage("nunit-2.5.2.msi") << "LicenseAgreementDlg";
  }
  void deleteRemovesExactlyTheDialogsRows() {
    QFETCH(QString, original);
    QFETCH(QString, dialog);
    if (original.isEmpty()) QSKIP("the shared corpus or its nunit-2.5.2.msi is absent");
    RequireOracle();
    const QString package = Copy(original, "delete.msi");
    ListAndSelect(package, dialog);
    if (!dialog.isEmpty()) QVERIFY(!OracleDialogRows(package, "Control", dialog).isEmpty());
    m_dialog->OnDelete();
    ExpectDone(dialog);
    for (const QString& table : kDialogTables) {
      QCOMPARE(OracleRows(package, table), OracleDialogRows(original, table, dialog, Rows::Without));
      QVERIFY2(EngineRowCount(package, table, dialog) <= 0, qPrintable(table));
    }
    QCOMPARE(OracleSnapshot(package, kDialogTables), OracleSnapshot(original, kDialogTables));
    // The list is not refreshed; a second deletion matches nothing and says the same.
    QCOMPARE(Dialogs()->currentText(), dialog);
    const QString afterFirst = OracleSnapshot(package);
    m_box.shown.clear();
    m_dialog->OnDelete();
    ExpectDone(dialog);
    QCOMPARE(OracleSnapshot(package), afterFirst);
  }

  void copyReplacesTheTargetsDialogColumnByName_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("original");  // of the target; empty: the source itself
    QTest::addColumn<QString>("dialog");
    const QString dialogs = FixturePackage("dialogs"), reordered = FixturePackage("reordered");
    QTest::newRow("reordered columns") << dialogs << reordered << "WelcomeDlg";
    QTest::newRow("hostile name") << dialogs << reordered << kHostileName;
    QTest::newRow("into the source") << dialogs << QString() << "WelcomeDlg";
    const QString putty = CorpusPackage("putty-0.68-installer.msi"), nunit = CorpusPackage("nunit-2.5.2.msi");
    QTest::newRow("corpus") << (nunit.isEmpty() ? QString() : putty) << nunit << "WelcomeDlg";
  }
  void copyReplacesTheTargetsDialogColumnByName() {
    QFETCH(QString, source);
    QFETCH(QString, original);
    QFETCH(QString, dialog);
    if (source.isEmpty()) QSKIP("the shared corpus or its putty and nunit packages are absent");
    RequireOracle();
    const bool self = original.isEmpty();
    if (self) original = source;
    const QString target = Copy(original, "target.msi");
    if (!self)  // the target's own dialog of that name, if any, is replaced
      QVERIFY(OracleDialogRows(original, "Control", dialog, Rows::NamedOf) !=
              OracleDialogRows(source, "Control", dialog, Rows::NamedOf));
    ListAndSelect(self ? target : source, dialog);
    m_chooser.answer.path = target;
    m_dialog->OnCopyTo();
    QCOMPARE(m_chooser.calls, 1);
    ExpectDone(dialog);
    for (const QString& table : kDialogTables) {
      QCOMPARE(OracleDialogRows(target, table, dialog, Rows::NamedOf),
               OracleDialogRows(source, table, dialog, Rows::NamedOf));
      QCOMPARE(OracleDialogRows(target, table, dialog, Rows::Without),
               OracleDialogRows(original, table, dialog, Rows::Without));
    }
    const int controls = int(OracleDialogRows(source, "Control", dialog).size());
    QCOMPARE(EngineRowCount(target, "Control", dialog), controls);
    QCOMPARE(OracleSnapshot(target, kDialogTables), OracleSnapshot(original, kDialogTables));
    // The target is used for this copy only.
    QCOMPARE(m_dialog->m_strDatabase, self ? target : source);
  }

  void aTargetLackingATableOrColumnGetsTheRest() {
    RequireOracle();
    const QString target = Copy(FixturePackage("lacking"), "lacking.msi");
    ListAndSelect(FixturePackage("dialogs"), "ExitDlg");
    m_chooser.answer.path = target;
    m_dialog->OnCopyTo();
    // Three controls have no Help column to go to, two events no table: one
    // box per source row.
    QCOMPARE(m_box.shown.size(), std::size_t(6));
    for (int i = 0; i < 5; ++i) {
      QCOMPARE(m_box.shown[i].caption, QStringLiteral("Windows Installer"));
      QCOMPARE(m_box.shown[i].icon, MessageIcon::Error);
      QVERIFY2(m_box.shown[i].text.startsWith("Function: CopyRecords Target View\nError: 1615 (0x0000064F)\n"),
               qPrintable(m_box.shown[i].text));
    }
    QVERIFY(m_box.shown[0].text.endsWith("SELECT `Dialog_`,`Control`,`Type`,`X`,`Y`,`Width`,`Height`,`Attributes`,"
                                         "`Property`,`Text`,`Control_Next`,`Help` FROM Control"));
    QVERIFY(m_box.shown[4].text.contains("FROM ControlEvent"));
    QCOMPARE(m_box.shown[5].text, QStringLiteral("ExitDlg"));
    for (const char* table : {"Dialog", "ControlCondition", "EventMapping"})
      QCOMPARE(OracleDialogRows(target, table, "ExitDlg", Rows::NamedOf),
               OracleDialogRows(FixturePackage("dialogs"), table, "ExitDlg", Rows::NamedOf));
    QVERIFY(OracleDialogRows(target, "Control", "ExitDlg").isEmpty());
  }

  void aSourceLackingTablesShowsOneBoxPerTable() {
    RequireOracle();
    const QString target = Copy(FixturePackage("dialogs"), "from-partial.msi");
    ListAndSelect(FixturePackage("partial"), "WelcomeDlg");
    m_chooser.answer.path = target;
    m_dialog->OnCopyTo();
    QCOMPARE(m_box.shown.size(), std::size_t(4));
    const char* missing[] = {"ControlCondition", "ControlEvent", "EventMapping"};
    for (int i = 0; i < 3; ++i) {
      QVERIFY(m_box.shown[i].text.startsWith("Function: CopyRecords Source View\nError: 1615"));
      QVERIFY(m_box.shown[i].text.endsWith(QStringLiteral("SELECT * FROM %1 WHERE Dialog_=?").arg(missing[i])));
    }
    QCOMPARE(m_box.shown[3].text, QStringLiteral("WelcomeDlg"));
    // The deletion reached the tables the source lacks; the rest was copied.
    QCOMPARE(OracleDialogRows(target, "Control", "WelcomeDlg", Rows::NamedOf),
             OracleDialogRows(FixturePackage("partial"), "Control", "WelcomeDlg", Rows::NamedOf));
    QVERIFY(OracleDialogRows(target, "ControlEvent", "WelcomeDlg").isEmpty());
    QCOMPARE(OracleDialogRows(target, "ControlEvent", "ExitDlg").size(), 2);
  }

  void aCancelledChooserOrAnUnopenableSourceChangesNothing() {
    ListAndSelect(FixturePackage("dialogs"), "ExitDlg");
    m_chooser.answer = ChooserResult{};
    m_dialog->OnCopyTo();
    QCOMPARE(m_chooser.calls, 1);
    QCOMPARE(m_box.Texts(), QStringList{"ExitDlg"});
    m_box.shown.clear();
    SetDatabase("");
    m_dialog->OnCopyTo();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open source database."});
    QCOMPARE(m_chooser.calls, 1);
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
    const QString package = Copy(FixturePackage(copy ? "reordered" : "dialogs"), "locked/package.msi");
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

QTEST_MAIN(DialogManagerTest)
#include "tst_dialog_manager.moc"
