// "--->", "Delete" and "Copy To...": dialogs listed, deleted and copied in
// users' packages, checked with libmsi as well as with our engine.
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

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
  // The package minus exactly `dialog`'s rows in the five tables.
  void VerifyDeleted(const QString& before, const QString& after, const QString& dialog) {
    for (const QString& table : kDialogTables) {
      QCOMPARE(OracleRows(after, table), OracleRowsWithout(before, table, dialog));
      const int engineCount = EngineRowCount(after, table, dialog);
      QVERIFY2(engineCount <= 0, qPrintable(table));
    }
    QCOMPARE(OracleSnapshot(after, kDialogTables), OracleSnapshot(before, kDialogTables));
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

  // --- listing ---------------------------------------------------------
  void listingShowsTheDialogsSorted() {
    SetDatabase(FixturePackage("dialogs"));
    m_dialog->OnDialogList();
    QVERIFY(m_box.shown.empty());
    QCOMPARE(Items(), (QStringList{"CancelDlg", "ExitDlg", "WelcomeDlg", kHostileName}));
    QCOMPARE(Dialogs()->currentIndex(), 0);
  }

  void listingAPackageWithoutDialogsEmptiesTheList() {
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

  // --- deleting ----------------------------------------------------------
  void deleteRemovesExactlyTheDialogsRows() {
    RequireOracle();
    const QString package = Copy(FixturePackage("dialogs"), "delete.msi");
    ListAndSelect(package, "WelcomeDlg");
    m_dialog->OnDelete();
    QCOMPARE(m_box.Texts(), QStringList{"WelcomeDlg"});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Information);
    VerifyDeleted(FixturePackage("dialogs"), package, "WelcomeDlg");
    // the list is not refreshed
    QCOMPARE(Dialogs()->currentText(), QStringLiteral("WelcomeDlg"));
    for (const char* other : {"ExitDlg", "CancelDlg"}) QCOMPARE(EngineRowCount(package, "Control", other), 3);

    // A second deletion of the same name matches nothing and says the same.
    const QByteArray afterFirst = OracleSnapshot(package).toUtf8();
    m_box.shown.clear();
    m_dialog->OnDelete();
    QCOMPARE(m_box.Texts(), QStringList{"WelcomeDlg"});
    QCOMPARE(OracleSnapshot(package).toUtf8(), afterFirst);
  }

  void aHostileNameDeletesOnlyItsOwnRows() {
    RequireOracle();
    const QString package = Copy(FixturePackage("dialogs"), "hostile-name.msi");
    ListAndSelect(package, kHostileName);
    m_dialog->OnDelete();
    QCOMPARE(m_box.Texts(), QStringList{kHostileName});
    VerifyDeleted(FixturePackage("dialogs"), package, kHostileName);
    QCOMPARE(OracleRows(package, "Control").size(), 9);
  }

  void deletingTheEmptyNameChangesNothing() {
    RequireOracle();
    const QString package = Copy(FixturePackage("dialogs"), "empty-name.msi");
    ListAndSelect(package, QString());
    m_dialog->OnDelete();
    QCOMPARE(m_box.Texts(), QStringList{QString()});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Information);
    QCOMPARE(OracleSnapshot(package), OracleSnapshot(FixturePackage("dialogs")));
  }

  void aPackageLackingTablesLosesTheRowsOfTheOthers() {
    RequireOracle();
    const QString package = Copy(FixturePackage("partial"), "partial.msi");
    ListAndSelect(package, "LicenseDlg");
    m_dialog->OnDelete();
    QCOMPARE(m_box.Texts(), QStringList{"LicenseDlg"});
    VerifyDeleted(FixturePackage("partial"), package, "LicenseDlg");
    QCOMPARE(OracleRows(package, "Dialog").size(), 1);
  }

  void aPackageThatCannotBeWrittenIsNotOpenedForDeleting() {
    const QString package = Copy(FixturePackage("dialogs"), "readonly.msi");
    const QByteArray before = FileBytes(package);
    UnwritableGuard guard(package);
    if (!guard.Active()) QSKIP("cannot make a file unwritable here");
    ListAndSelect(package, "ExitDlg");
    // listing opens read-only and works
    QCOMPARE(Dialogs()->count(), 4);
    m_dialog->OnDelete();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open database."});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QCOMPARE(FileBytes(package), before);
  }

  void aFolderThatCannotBeWrittenLeavesThePackageIntact() {
    QDir(m_dir->path()).mkdir("locked");
    const QString package = CopyPackage(FixturePackage("dialogs"), *m_dir, "locked/commit.msi");
    const QByteArray before = FileBytes(package);
    ListAndSelect(package, "ExitDlg");
    {
      UnwritableGuard guard(m_dir->filePath("locked"));
      if (!guard.Active()) QSKIP("cannot make a folder unwritable here");
      m_dialog->OnDelete();
    }
    // Refused when opened or when committed, never reported as done.
    QVERIFY2(m_box.Texts() == QStringList{"Cannot open database."} || m_box.Texts() == QStringList{"Cannot commit database."},
             qPrintable(m_box.Texts().join('|')));
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QCOMPARE(FileBytes(package), before);
    QCOMPARE(QDir(m_dir->filePath("locked")).entryList(QDir::Files | QDir::Hidden), QStringList{"commit.msi"});
  }

  void aFailedCommitIsReportedAndThePackageKept() {
    const QString package = Copy(FixturePackage("dialogs"), "commit.msi");
    const QByteArray before = FileBytes(package);
    ListAndSelect(package, "ExitDlg");
    {
      FileSizeLimitGuard full(1024);
      if (!full.Active()) QSKIP("cannot limit file sizes here");
      m_dialog->OnDelete();
    }
    QCOMPARE(m_box.Texts(), QStringList{"Cannot commit database."});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QCOMPARE(FileBytes(package), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"commit.msi"});
  }

  void deletingACorpusDialogMatchesLibmsi() {
    if (CorpusDir().isEmpty()) QSKIP("the shared corpus is absent: corpus dialogs are not checked");
    RequireOracle();
    const QString original = CorpusDir() + "/nunit-2.5.2.msi";
    if (!QFile::exists(original)) QSKIP("the corpus has no nunit-2.5.2.msi");
    const QString package = Copy(original, "nunit.msi");
    ListAndSelect(package, "LicenseAgreementDlg");
    QVERIFY(Items().size() > 5);
    QVERIFY(!OracleDialogRows(package, "Control", "LicenseAgreementDlg").isEmpty());
    m_dialog->OnDelete();
    QCOMPARE(m_box.Texts(), QStringList{"LicenseAgreementDlg"});
    VerifyDeleted(original, package, "LicenseAgreementDlg");
  }

  // --- copying ---------------------------------------------------------
  void copyReplacesTheTargetsDialogColumnByName() {
    RequireOracle();
    const QString target = Copy(FixturePackage("reordered"), "target.msi");
    ListAndSelect(FixturePackage("dialogs"), "WelcomeDlg");
    m_chooser.answer.path = target;
    m_dialog->OnCopyTo();
    QCOMPARE(m_chooser.calls, 1);
    QCOMPARE(m_box.Texts(), QStringList{"WelcomeDlg"});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Information);
    for (const QString& table : kDialogTables) {
      QCOMPARE(OracleNamedDialogRows(target, table, "WelcomeDlg"),
               OracleNamedDialogRows(FixturePackage("dialogs"), table, "WelcomeDlg"));
      QCOMPARE(OracleDialogRows(target, table, "OtherDlg"), OracleDialogRows(FixturePackage("reordered"), table, "OtherDlg"));
    }
    QVERIFY(OracleNamedDialogRows(target, "Control", "WelcomeDlg").join('\n').contains("Text=&Next 0"));
    QCOMPARE(EngineRowCount(target, "ControlEvent", "WelcomeDlg"), 2);
    QCOMPARE(OracleSnapshot(target, kDialogTables), OracleSnapshot(FixturePackage("reordered"), kDialogTables));
    // the target is used for this copy only
    QCOMPARE(m_dialog->m_strDatabase, FixturePackage("dialogs"));
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
      QCOMPARE(OracleNamedDialogRows(target, table, "ExitDlg"), OracleNamedDialogRows(FixturePackage("dialogs"), table, "ExitDlg"));
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
    QCOMPARE(OracleNamedDialogRows(target, "Control", "WelcomeDlg"),
             OracleNamedDialogRows(FixturePackage("partial"), "Control", "WelcomeDlg"));
    QVERIFY(OracleDialogRows(target, "ControlEvent", "WelcomeDlg").isEmpty());
    QCOMPARE(OracleDialogRows(target, "ControlEvent", "ExitDlg").size(), 2);
  }

  void aHostileNameCopiesOnlyItsOwnRows() {
    RequireOracle();
    const QString target = Copy(FixturePackage("reordered"), "hostile-target.msi");
    ListAndSelect(FixturePackage("dialogs"), kHostileName);
    m_chooser.answer.path = target;
    m_dialog->OnCopyTo();
    QCOMPARE(m_box.Texts(), QStringList{kHostileName});
    QCOMPARE(OracleNamedDialogRows(target, "Control", kHostileName),
             OracleNamedDialogRows(FixturePackage("dialogs"), "Control", kHostileName));
    QCOMPARE(OracleRows(target, "Control").size(), OracleRows(FixturePackage("reordered"), "Control").size() + 3);
    // the target's other dialogs stay
    QCOMPARE(OracleDialogRows(target, "Control", "WelcomeDlg").size(), 1);
  }

  void aCancelledChooserChangesNothing() {
    ListAndSelect(FixturePackage("dialogs"), "ExitDlg");
    m_chooser.answer = ChooserResult{};
    m_dialog->OnCopyTo();
    QCOMPARE(m_chooser.calls, 1);
    QCOMPARE(m_box.Texts(), QStringList{"ExitDlg"});
  }

  void sourceAndTargetThatCannotBeOpened() {
    ListAndSelect(FixturePackage("dialogs"), "ExitDlg");
    SetDatabase("");
    m_dialog->OnCopyTo();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open source database."});
    QCOMPARE(m_chooser.calls, 0);

    m_box.shown.clear();
    SetDatabase(FixturePackage("dialogs"));
    const QString target = Copy(FixturePackage("reordered"), "unopenable.msi");
    const QByteArray before = FileBytes(target);
    UnwritableGuard guard(target);
    if (!guard.Active()) QSKIP("cannot make a file unwritable here");
    m_chooser.answer.path = target;
    m_dialog->OnCopyTo();
    QCOMPARE(m_box.Texts(), (QStringList{"Cannot open target database.", "ExitDlg"}));
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QCOMPARE(m_box.shown[1].icon, MessageIcon::Information);
    QCOMPARE(FileBytes(target), before);
  }

  void copyingIntoTheSourceItselfKeepsTheDialog() {
    RequireOracle();
    const QString package = Copy(FixturePackage("dialogs"), "self.msi");
    ListAndSelect(package, "WelcomeDlg");
    m_chooser.answer.path = package;
    m_dialog->OnCopyTo();
    QCOMPARE(m_box.Texts(), QStringList{"WelcomeDlg"});
    for (const QString& table : kDialogTables)
      QCOMPARE(OracleNamedDialogRows(package, table, "WelcomeDlg"),
               OracleNamedDialogRows(FixturePackage("dialogs"), table, "WelcomeDlg"));
    QCOMPARE(OracleSnapshot(package), OracleSnapshot(FixturePackage("dialogs")));
  }

  void aFailedCommitOfTheCopyIsReportedOnce() {
    const QString target = Copy(FixturePackage("reordered"), "target.msi");
    const QByteArray before = FileBytes(target);
    ListAndSelect(FixturePackage("dialogs"), "WelcomeDlg");
    m_chooser.answer.path = target;
    {
      FileSizeLimitGuard full(1024);
      if (!full.Active()) QSKIP("cannot limit file sizes here");
      m_dialog->OnCopyTo();
    }
    QCOMPARE(m_box.Texts(), QStringList{"Cannot commit database."});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QCOMPARE(FileBytes(target), before);
  }

  void aTargetFolderThatCannotBeWrittenIsNeverReportedAsCopied() {
    QDir(m_dir->path()).mkdir("locked");
    const QString target = CopyPackage(FixturePackage("reordered"), *m_dir, "locked/target.msi");
    const QByteArray before = FileBytes(target);
    ListAndSelect(FixturePackage("dialogs"), "WelcomeDlg");
    m_chooser.answer.path = target;
    {
      UnwritableGuard guard(m_dir->filePath("locked"));
      if (!guard.Active()) QSKIP("cannot make a folder unwritable here");
      m_dialog->OnCopyTo();
    }
    QVERIFY2(m_box.Texts() == (QStringList{"Cannot open target database.", "WelcomeDlg"}) ||
                 m_box.Texts() == QStringList{"Cannot commit database."},
             qPrintable(m_box.Texts().join('|')));
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QCOMPARE(FileBytes(target), before);
  }

  void copyBetweenCorpusPackagesMatchesLibmsi() {
    if (CorpusDir().isEmpty()) QSKIP("the shared corpus is absent: corpus dialogs are not checked");
    RequireOracle();
    const QString source = CorpusDir() + "/putty-0.68-installer.msi";
    const QString original = CorpusDir() + "/nunit-2.5.2.msi";
    if (!QFile::exists(source) || !QFile::exists(original)) QSKIP("the corpus lacks the putty or nunit package");
    const QString target = Copy(original, "nunit.msi");
    // Both have a WelcomeDlg: the target's is replaced by the source's.
    ListAndSelect(source, "WelcomeDlg");
    m_chooser.answer.path = target;
    m_dialog->OnCopyTo();
    QCOMPARE(m_box.Texts(), QStringList{"WelcomeDlg"});
    QVERIFY(OracleNamedDialogRows(original, "Control", "WelcomeDlg") != OracleNamedDialogRows(source, "Control", "WelcomeDlg"));
    for (const QString& table : kDialogTables) {
      QCOMPARE(OracleNamedDialogRows(target, table, "WelcomeDlg"), OracleNamedDialogRows(source, table, "WelcomeDlg"));
      QCOMPARE(OracleRowsWithout(target, table, "WelcomeDlg"), OracleRowsWithout(original, table, "WelcomeDlg"));
    }
    QCOMPARE(OracleSnapshot(target, kDialogTables), OracleSnapshot(original, kDialogTables));
  }
};

QTEST_MAIN(DialogManagerTest)
#include "tst_dialog_manager.moc"
