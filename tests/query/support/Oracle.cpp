#include "Oracle.h"

#include <QRegularExpression>
#include <QStandardPaths>

#include "Packages.h"

const QStringList kDialogTables = {"Dialog", "Control", "ControlCondition", "ControlEvent", "EventMapping"};

bool OracleAvailable() { return !QStandardPaths::findExecutable(QStringLiteral("msiinfo")).isEmpty(); }

namespace {
QStringList SortedLines(const QStringList& arguments) {
  QStringList lines = QString::fromUtf8(RunProgram(QStringLiteral("msiinfo"), arguments))
                          .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  lines.sort();
  return lines;
}

// The export's lines split into the column names and the data lines.
bool ExportLines(const QString& package, const QString& table, QStringList& columns, QStringList& rows) {
  bool ok = false;
  const QByteArray text = RunProgram(QStringLiteral("msiinfo"), {"export", package, table}, &ok);
  if (!ok) return false;
  QStringList lines = QString::fromUtf8(text).split(QRegularExpression(QStringLiteral("\r?\n")));
  if (lines.size() < 3) return false;
  columns = lines[0].split(QLatin1Char('\t'));
  // msiinfo writes line breaks inside values as they are: a row is complete
  // once it has a field for every column.
  rows.clear();
  QString pending;
  bool open = false;
  for (const QString& line : lines.mid(3)) {
    if (!open && line.isEmpty()) continue;
    pending = open ? pending + QLatin1Char('\n') + line : line;
    open = pending.count(QLatin1Char('\t')) < columns.size() - 1;
    if (!open && !pending.isEmpty()) rows << pending;
  }
  if (open && !pending.isEmpty()) rows << pending;
  return true;
}
}  // namespace

QStringList OracleRows(const QString& package, const QString& table) {
  QStringList columns, rows;
  if (!ExportLines(package, table, columns, rows)) return {};
  rows.sort();
  return rows;
}

QStringList OracleDialogRows(const QString& package, const QString& table, const QString& dialog, Rows which) {
  QStringList columns, lines, rows;
  if (!ExportLines(package, table, columns, lines)) return rows;
  int column = columns.indexOf(QStringLiteral("Dialog_"));
  if (column < 0) column = columns.indexOf(QStringLiteral("Dialog"));
  for (const QString& line : lines) {
    const QStringList values = line.split(QLatin1Char('\t'));
    if ((values.value(column) == dialog) == (which == Rows::Without)) continue;
    QStringList pairs;
    for (int i = 0; i < columns.size(); ++i) pairs << columns[i] + QLatin1Char('=') + values.value(i);
    pairs.sort();
    rows << (which == Rows::NamedOf ? pairs.join(QLatin1Char('\t')) : line);
  }
  rows.sort();
  return rows;
}

QStringList OracleStreams(const QString& package) { return SortedLines({"streams", package}); }

QByteArray OracleStream(const QString& package, const QString& stream, bool* ok) {
  return RunProgram(QStringLiteral("msiinfo"), {"extract", package, stream}, ok);
}

QString OracleSnapshot(const QString& package, const QStringList& skipTables) {
  QString snapshot;
  for (const QString& table : SortedLines({"tables", package})) {
    if (skipTables.contains(table)) continue;
    snapshot += QStringLiteral("[table ") + table + QStringLiteral("]\n") +
                OracleRows(package, table).join(QLatin1Char('\n')) + QLatin1Char('\n');
  }
  for (const QString& stream : OracleStreams(package))
    snapshot += QStringLiteral("[stream ") + stream + QStringLiteral("] ") +
                QString::fromLatin1(OracleStream(package, stream).toHex()) + QLatin1Char('\n');
  return snapshot;
}
