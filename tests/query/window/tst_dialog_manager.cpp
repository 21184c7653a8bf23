// "--->", "Delete" and "Copy To...": dialogs listed, deleted and copied in
// users' packages, checked with libmsi as well as with our engine.
#include <QtTest>
#include <optional>

#include "Oracle.h"
#include "Packages.h"
#include "Recorders.h"

const QString kHostileName = QStringLiteral("x' OR Dialog_<>'");

class DialogManagerTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CVintrelDlg> m_dialog;
  std::unique_ptr<QTemporaryDir> m_dir;
  RecordingMessageBox m_box;
  RecordingOpener m_opener;
  ScriptedChooser m_chooser;

  QComboBox* Dialogs() { return m_dialog->m_comboDialogs; }
  void ListAndSelect(const QString& package, const QString& name) {
    SetDatabase(*m_dialog, package);
    m_dialog->OnDialogList();
    Dialogs()->setCurrentIndex(Dialogs()->findText(name, Qt::MatchExactly));
    QVERIFY2(name.isEmpty() || Dialogs()->currentText() == name, qPrintable(name));
    if (name.isEmpty()) Dialogs()->setCurrentIndex(-1);
    m_box.shown.clear();
  }
  QString Copy(const QString& fixture, const QString& name) { return CopyPackage(fixture, *m_dir, name); }
  void ExpectDone(const QString& dialog) {
    QCOMPARE(m_box.Texts(), QStringList{dialog});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Information);
  }

 private slots:
  void init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_dialog = RecordedWindow(m_box, m_chooser, m_opener);
  }
  void cleanup() {
    m_dialog.reset();
    m_dir.reset();
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
    m_box.shown.clear();
    SetDatabase(*m_dialog, "");
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
    REQUIRE_LIBMSI();
    const QString package = Copy(original, "delete.msi");
    ListAndSelect(package, dialog);
    if (!dialog.isEmpty()) QVERIFY(!OracleDialogRows(package, "Control", dialog).isEmpty());
    m_dialog->OnDelete();
    ExpectDone(dialog);
    for (const QString& table : kDialogTables)
      QCOMPARE(OracleRows(package, table), OracleDialogRows(original, table, dialog, Rows::Without));
    QCOMPARE(OracleSnapshot(package, kDialogTables), OracleSnapshot(original, kDialogTables));
    // The list is not refreshed; a second deletion matches nothing and says the same.
    QCOMPARE(Dialogs()->currentText(), dialog);
    const QString afterFirst = OracleSnapshot(package);
    m_box.shown.clear();
    m_dialog->OnDelete();
    ExpectDone(dialog);
    QCOMPARE(OracleSnapshot(package), afterFirst);
  }

  // The target's rows of the dialog, if any, are replaced column by column;
  // rows the target has no table or column for, and tables the source lacks,
  // show one error box each.
  void copyReplacesTheTargetsDialogColumnByName_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("original");  // of the target; empty: the source itself
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("failures");  // each box's first, second and last line
    QTest::addColumn<QStringList>("uncopied");  // tables left without the dialog's rows
    const QString dialogs = FixturePackage("dialogs"), reordered = FixturePackage("reordered");
    QTest::newRow("reordered columns") << dialogs << reordered << "WelcomeDlg" << QStringList() << QStringList();
    QTest::newRow("hostile name") << dialogs << reordered << kHostileName << QStringList() << QStringList();
    QTest::newRow("into the source") << dialogs << QString() << "WelcomeDlg" << QStringList() << QStringList();
    const QString putty = CorpusPackage("putty-0.68-installer.msi"), nunit = CorpusPackage("nunit-2.5.2.msi");
    QTest::newRow("corpus") << (nunit.isEmpty() ? QString() : putty) << nunit << "WelcomeDlg" << QStringList()
                            << QStringList();
    // Three controls have no Help column to go to, two events no table.
    const QString target = "Function: CopyRecords Target View|Error: 1615 (0x0000064F)|SELECT ";
    const QString control = target + "`Dialog_`,`Control`,`Type`,`X`,`Y`,`Width`,`Height`,`Attributes`,"
                                     "`Property`,`Text`,`Control_Next`,`Help` FROM Control";
    const QString event = target + "`Dialog_`,`Control_`,`Event`,`Argument`,`Condition`,`Ordering` FROM ControlEvent";
    QTest::newRow("target lacking") << dialogs << FixturePackage("lacking") << "ExitDlg"
                                    << QStringList{control, control, control, event, event}
                                    << QStringList{"Control", "ControlEvent"};
    const QString source = "Function: CopyRecords Source View|Error: 1615 (0x0000064F)|SELECT * FROM %1 WHERE Dialog_=?";
    QTest::newRow("source lacking") << FixturePackage("partial") << dialogs << "WelcomeDlg"
                                    << QStringList{source.arg("ControlCondition"), source.arg("ControlEvent"),
                                                   source.arg("EventMapping")}
                                    << QStringList();
  }
  void copyReplacesTheTargetsDialogColumnByName() {
    QFETCH(QString, source);
    QFETCH(QString, original);
    QFETCH(QString, dialog);
    QFETCH(QStringList, failures);
    QFETCH(QStringList, uncopied);
    if (source.isEmpty()) QSKIP("the shared corpus or its putty and nunit packages are absent");
    REQUIRE_LIBMSI();
    const bool self = original.isEmpty();
    if (self) original = source;
    const QString target = Copy(original, "target.msi");
    ListAndSelect(self ? target : source, dialog);
    m_chooser.answer.path = target;
    m_dialog->OnCopyTo();
    QCOMPARE(m_chooser.calls, 1);
    QStringList boxes;
    for (const ShownMessage& box : m_box.shown) {
      const QStringList lines = box.text.split('\n');
      boxes << (lines.size() == 1 ? box.text : lines[0] + '|' + lines[1] + '|' + lines.last());
      QCOMPARE(box.icon, boxes.size() == int(m_box.shown.size()) ? MessageIcon::Information : MessageIcon::Error);
    }
    QCOMPARE(boxes, failures + QStringList{dialog});
    for (const QString& table : kDialogTables) {
      QCOMPARE(OracleDialogRows(target, table, dialog, Rows::NamedOf),
               uncopied.contains(table) ? QStringList() : OracleDialogRows(source, table, dialog, Rows::NamedOf));
      QCOMPARE(OracleDialogRows(target, table, dialog, Rows::Without),
               OracleDialogRows(original, table, dialog, Rows::Without));
    }
    QCOMPARE(OracleSnapshot(target, kDialogTables), OracleSnapshot(original, kDialogTables));
    // The target is used for this copy only.
    QCOMPARE(m_dialog->m_strDatabase, self ? target : source);
  }

  void aCancelledChooserOrAnUnopenableSourceChangesNothing() {
    ListAndSelect(FixturePackage("dialogs"), "ExitDlg");
    m_chooser.answer = ChooserResult{};
    m_dialog->OnCopyTo();
    QCOMPARE(m_chooser.calls, 1);
    QCOMPARE(m_box.Texts(), QStringList{"ExitDlg"});
    m_box.shown.clear();
    SetDatabase(*m_dialog, "");
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
