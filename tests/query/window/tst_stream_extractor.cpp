// "--->" and "Extract": listing a package's streams and saving one.
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include "Oracle.h"
#include "Packages.h"
#include "Recorders.h"
#include "VintrelDlg.h"

class StreamExtractorTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CVintrelDlg> m_dialog;
  std::unique_ptr<QTemporaryDir> m_tmp;
  QByteArray m_savedTmpdir;
  RecordingMessageBox m_box;
  RecordingOpener m_opener;
  ScriptedChooser m_chooser;

  void SetDatabase(const QString& path) { m_dialog->findChild<QLineEdit*>("edit1000_Database")->setText(path); }
  QComboBox* Streams() { return m_dialog->m_comboStreams; }
  QStringList Items() {
    QStringList items;
    for (int i = 0; i < Streams()->count(); ++i) items << Streams()->itemText(i);
    return items;
  }
  bool Select(const QString& name) {
    const int index = Streams()->findText(name, Qt::MatchExactly);
    Streams()->setCurrentIndex(index);
    return index >= 0;
  }
  QString TmpPath(const QString& name) const { return QDir(m_tmp->path()).filePath(name); }
  QStringList TmpEntries() const {
    return QDir(m_tmp->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  }
  // Lists the package's streams and extracts `name`; gives the file written.
  QString Extract(const QString& package, const QString& name) {
    m_box.shown.clear();
    SetDatabase(package);
    m_dialog->OnStreamList();
    if (!Select(name)) return QStringLiteral("(no item %1)").arg(name);
    m_dialog->OnExtract();
    if (m_box.shown.size() != 1 || m_box.shown[0].icon != MessageIcon::Information)
      return QStringLiteral("(failed: %1)").arg(m_box.Texts().join('|'));
    return m_box.shown[0].text;
  }

 private slots:
  void init() {
    m_tmp = std::make_unique<QTemporaryDir>();
    m_savedTmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", m_tmp->path().toLocal8Bit());
    m_dialog = std::make_unique<CVintrelDlg>();
    m_box.shown.clear();
    m_dialog->SetMessageBox(&m_box);
    m_dialog->SetDocumentOpener(&m_opener);
    m_dialog->SetPackageChooser(&m_chooser);
  }
  void cleanup() {
    m_dialog.reset();
    if (m_savedTmpdir.isNull()) qunsetenv("TMPDIR"); else qputenv("TMPDIR", m_savedTmpdir);
    m_tmp.reset();
  }

  void listingShowsEveryStreamSortedAndSelectsTheFirst() {
    SetDatabase(FixturePackage("dialogs"));
    m_dialog->OnStreamList();
    QVERIFY(m_box.shown.empty());
    const QStringList items = Items();
    for (const char* name : {"Empty", "Exact2048", "it's", "Payload.bin"}) QVERIFY2(items.contains(name), name);
    QVERIFY(items.contains(QStringLiteral("\005SummaryInformation")));
    QStringList sorted = items;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QCOMPARE(items, sorted);
    QCOMPARE(Streams()->currentIndex(), 0);
    if (OracleAvailable()) {
      QStringList expected = OracleStreams(FixturePackage("dialogs"));
      QStringList actual = items;
      expected.sort();
      actual.sort();
      QCOMPARE(actual, expected);
    }
  }

  void aFailedListingKeepsTheItemsAndSelectsTheFirst() {
    SetDatabase("");
    m_dialog->OnStreamList();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open database."});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QCOMPARE(Streams()->count(), 11);
    QCOMPARE(Streams()->currentIndex(), 0);
  }

  void extractWithoutAPackageOrAStreamSaysWhy() {
    SetDatabase("");
    m_dialog->OnExtract();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open database."});
    m_box.shown.clear();
    SetDatabase(FixturePackage("dialogs"));
    m_dialog->OnExtract();  // nothing selected: the empty name
    QCOMPARE(m_box.Texts(), QStringList{"Cannot fetch record."});
    QVERIFY(TmpEntries().isEmpty());
  }

  void extractionWritesTheStreamsBytes() {
    const QString path = Extract(FixturePackage("dialogs"), "Payload.bin");
    QCOMPARE(path, TmpPath("Payload.bin.TMP"));
    QByteArray expected;
    for (int i = 0; i < 5; ++i)
      for (int b = 0; b < 256; ++b) expected.append(char(b));
    expected.append("tail");
    QCOMPARE(FileBytes(path), expected);
    if (OracleAvailable()) QCOMPARE(FileBytes(path), OracleStream(FixturePackage("dialogs"), "Payload.bin"));
  }

  void emptyAndWholeKilobyteStreams() {
    const QString empty = Extract(FixturePackage("dialogs"), "Empty");
    QCOMPARE(empty, TmpPath("Empty.TMP"));
    QVERIFY(QFileInfo(empty).isFile());
    QCOMPARE(QFileInfo(empty).size(), 0);
    const QString exact = Extract(FixturePackage("dialogs"), "Exact2048");
    QCOMPARE(QFileInfo(exact).size(), 2048);
    QCOMPARE(FileBytes(exact)[2047], char((2047 * 7) % 256));
  }

  void aNameWithAQuoteIsExtracted() {
    const QString path = Extract(FixturePackage("dialogs"), "it's");
    QCOMPARE(path, TmpPath("it's.TMP"));
    QCOMPARE(QFileInfo(path).size(), 256 * 5 + 4);
  }

  void aControlCharacterInTheNameStaysOutOfTheFileName() {
    const QString path = Extract(FixturePackage("dialogs"), QStringLiteral("\005SummaryInformation"));
    QCOMPARE(path, TmpPath("_SummaryInformation.TMP"));
    QVERIFY(FileBytes(path).startsWith(QByteArray::fromHex("feff0000")));
    QCOMPARE(TmpEntries(), QStringList{"_SummaryInformation.TMP"});
  }

  void extractingAgainOverwrites() {
    QFile old(TmpPath("Payload.bin.TMP"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(9000, 'z'));
    old.close();
    const QString path = Extract(FixturePackage("dialogs"), "Payload.bin");
    QCOMPARE(QFileInfo(path).size(), 256 * 5 + 4);
    QCOMPARE(TmpEntries(), QStringList{"Payload.bin.TMP"});
  }

  void aPlantedLinkIsNotFollowed() {
    QTemporaryDir elsewhere;
    const QString victim = QDir(elsewhere.path()).filePath("victim");
    QFile file(victim);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not yours");
    file.close();
    QVERIFY(QFile::link(victim, TmpPath("Payload.bin.TMP")));
    const QString path = Extract(FixturePackage("dialogs"), "Payload.bin");
    QCOMPARE(path, TmpPath("Payload.bin.TMP"));
    QCOMPARE(FileBytes(victim), QByteArray("not yours"));
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(QFileInfo(path).size(), 256 * 5 + 4);
  }

  void aMissingTemporaryFolderFailsCleanly() {
    SetDatabase(FixturePackage("dialogs"));
    m_dialog->OnStreamList();
    QVERIFY(Select("Payload.bin"));
    qputenv("TMPDIR", TmpPath("missing").toLocal8Bit());
    m_dialog->OnExtract();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot extract file."});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    QVERIFY(TmpEntries().isEmpty());
  }

  void everyCorpusStreamMatchesLibmsi() {
    const QStringList packages = CorpusPackages();
    if (packages.isEmpty()) QSKIP("the shared corpus is absent: corpus streams are not checked");
    if (!OracleAvailable()) QSKIP("msiinfo (msitools) is not installed: no second opinion");
    int checked = 0;
    for (const QString& package : packages) {
      m_box.shown.clear();
      SetDatabase(package);
      m_dialog->OnStreamList();
      QVERIFY2(m_box.shown.empty(), qPrintable(package + ": " + m_box.Texts().join('|')));
      const QStringList names = Items();
      QStringList oracleNames = OracleStreams(package);
      QStringList sortedNames = names;
      sortedNames.sort();
      oracleNames.sort();
      QCOMPARE(sortedNames, oracleNames);
      for (const QString& name : names) {
        const QString path = Extract(package, name);
        QVERIFY2(QFileInfo(path).isFile(), qPrintable(package + " / " + name + ": " + path));
        QVERIFY2(QFileInfo(path).absolutePath() == QFileInfo(m_tmp->path()).absoluteFilePath(), qPrintable(path));
        bool ok = false;
        const QByteArray expected = OracleStream(package, name, &ok);
        QVERIFY2(ok, qPrintable("msiinfo cannot extract " + name));
        QVERIFY2(FileBytes(path) == expected, qPrintable(package + " / " + name));
        QFile::remove(path);
        ++checked;
      }
    }
    QVERIFY(checked > 0);
  }
};

QTEST_MAIN(StreamExtractorTest)
#include "tst_stream_extractor.moc"
