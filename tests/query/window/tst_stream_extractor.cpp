// "--->" and "Extract": listing a package's streams and saving one.
#include <QtTest>

#include "Oracle.h"
#include "Packages.h"
#include "Recorders.h"

class StreamExtractorTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CVintrelDlg> m_dialog;
  std::unique_ptr<QTemporaryDir> m_tmp;
  QString m_tmpdir;  // the temporary folder the window uses, inside m_tmp
  QByteArray m_savedTmpdir;
  RecordingMessageBox m_box;
  RecordingOpener m_opener;
  ScriptedChooser m_chooser;

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

 private slots:
  void init() {
    m_tmp = std::make_unique<QTemporaryDir>();
    m_savedTmpdir = qgetenv("TMPDIR");
    m_tmpdir = m_tmp->filePath("tmp");
    QVERIFY(QDir().mkdir(m_tmpdir));
    qputenv("TMPDIR", m_tmpdir.toLocal8Bit());
    m_dialog = RecordedWindow(m_box, m_chooser, m_opener);
  }
  void cleanup() {
    m_dialog.reset();
    if (m_savedTmpdir.isNull()) qunsetenv("TMPDIR"); else qputenv("TMPDIR", m_savedTmpdir);
    m_tmp.reset();
  }

  void listingShowsEveryStreamSortedAndSelectsTheFirst() {
    SetDatabase(*m_dialog, FixturePackage("dialogs"));
    m_dialog->OnStreamList();
    QVERIFY(m_box.shown.empty());
    const QStringList items = Items(Streams());
    for (const char* name : {"Empty", "Exact2048", "it's", "Payload.bin", "\005SummaryInformation"})
      QVERIFY2(items.contains(name), name);
    QStringList sorted = items;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QCOMPARE(items, sorted);
    QCOMPARE(Streams()->currentIndex(), 0);
  }

  void failuresSayWhyAndWriteNothing() {
    SetDatabase(*m_dialog, "");
    m_dialog->OnStreamList();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open database."});
    QCOMPARE(m_box.shown[0].icon, MessageIcon::Error);
    // A failed listing keeps the items and selects the first.
    QCOMPARE(Streams()->count(), 11);
    QCOMPARE(Streams()->currentIndex(), 0);
    m_box.shown.clear();
    m_dialog->OnExtract();
    QCOMPARE(m_box.Texts(), QStringList{"Cannot open database."});
    m_box.shown.clear();
    SetDatabase(*m_dialog, FixturePackage("dialogs"));
    m_dialog->OnExtract();  // nothing selected: the empty name
    QCOMPARE(m_box.Texts(), QStringList{"Cannot fetch record."});
    // A temporary folder that is not there.
    m_box.shown.clear();
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
    const QString victim = m_tmp->filePath("victim");
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
    if (OracleAvailable()) QCOMPARE(FileBytes(path), OracleStream(FixturePackage("dialogs"), name));
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
};

QTEST_MAIN(StreamExtractorTest)
#include "tst_stream_extractor.moc"
