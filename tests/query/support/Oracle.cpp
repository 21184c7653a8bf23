#include "Oracle.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include "Packages.h"

const QStringList kDialogTables = {"Dialog", "Control", "ControlCondition", "ControlEvent", "EventMapping"};

bool OracleAvailable() { return !QStandardPaths::findExecutable(QStringLiteral("msiinfo")).isEmpty(); }

QStringList OracleRows(const QString& package, const QString& table) {
  bool ok = false;
  const QByteArray text = RunProgram(QStringLiteral("msiinfo"), {"export", package, table}, &ok);
  if (!ok) return {};
  QStringList lines = QString::fromUtf8(text).split(QStringLiteral("\r\n"));
  if (lines.size() == 1) lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
  lines = lines.mid(3);
  lines.removeAll(QString());
  lines.sort();
  return lines;
}

QStringList OracleDialogRows(const QString& package, const QString& table, const QString& dialog) {
  QStringList rows;
  for (const QString& row : OracleRows(package, table))
    if (row.section(QLatin1Char('\t'), 0, 0) == dialog) rows << row;
  return rows;
}

QStringList OracleTables(const QString& package) {
  QStringList tables = QString::fromUtf8(RunProgram(QStringLiteral("msiinfo"), {"tables", package}))
                           .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  tables.sort();
  return tables;
}

QStringList OracleStreams(const QString& package) {
  QStringList streams = QString::fromUtf8(RunProgram(QStringLiteral("msiinfo"), {"streams", package}))
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  streams.sort();
  return streams;
}

QByteArray OracleStream(const QString& package, const QString& stream, bool* ok) {
  return RunProgram(QStringLiteral("msiinfo"), {"extract", package, stream}, ok);
}

QString OracleSnapshot(const QString& package, const QStringList& skipTables) {
  QString snapshot;
  for (const QString& table : OracleTables(package)) {
    if (skipTables.contains(table)) continue;
    snapshot += QStringLiteral("[table ") + table + QStringLiteral("]\n") +
                OracleRows(package, table).join(QLatin1Char('\n')) + QLatin1Char('\n');
  }
  for (const QString& stream : OracleStreams(package))
    snapshot += QStringLiteral("[stream ") + stream + QStringLiteral("] ") +
                QString::fromLatin1(OracleStream(package, stream).toHex()) + QLatin1Char('\n');
  return snapshot;
}

QStringList OracleNamedDialogRows(const QString& package, const QString& table, const QString& dialog) {
  bool ok = false;
  const QByteArray text = RunProgram(QStringLiteral("msiinfo"), {"export", package, table}, &ok);
  if (!ok) return {};
  QStringList lines = QString::fromUtf8(text).split(QRegularExpression(QStringLiteral("\r?\n")));
  if (lines.size() < 3) return {};
  const QStringList columns = lines[0].split(QLatin1Char('\t'));
  QStringList rows;
  for (const QString& line : lines.mid(3)) {
    if (line.isEmpty()) continue;
    const QStringList values = line.split(QLatin1Char('\t'));
    if (values.value(0) != dialog) continue;
    QStringList pairs;
    for (int i = 0; i < columns.size(); ++i) pairs << columns[i] + QLatin1Char('=') + values.value(i);
    pairs.sort();
    rows << pairs.join(QLatin1Char('\t'));
  }
  rows.sort();
  return rows;
}
