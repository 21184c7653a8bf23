#include "Oracle.h"

#include "support.h"

const QStringList kDialogTables = {"Dialog", "Control", "ControlCondition", "ControlEvent", "EventMapping"};

bool OracleAvailable() { return !ts::LibmsiOracle().empty() && !ts::MsiInfo().empty(); }

namespace {
// The column names and the rows (libmsi_oracle escapes line breaks, so a
// line is a row); false when the table cannot be read.
bool TableLines(const QString& package, const QString& table, QStringList& columns, QStringList& rows) {
  int exit = 0;
  const std::string out =
      ts::OracleSelect(package.toStdString(), {"SELECT * FROM `" + table.toStdString() + "`"}, &exit);
  rows = QString::fromStdString(out).split(QLatin1Char('\n'));
  if (exit != 0 || rows.size() < 2) return false;
  rows.removeLast();  // after the last line break
  columns = rows.takeFirst().split(QLatin1Char('\t'));
  return true;
}
}  // namespace

QStringList OracleRows(const QString& package, const QString& table) {
  QStringList columns, rows;
  if (!TableLines(package, table, columns, rows)) return {};
  rows.sort();
  return rows;
}

QStringList OracleDialogRows(const QString& package, const QString& table, const QString& dialog, Rows which) {
  QStringList columns, lines, rows;
  if (!TableLines(package, table, columns, lines)) return rows;
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

QString OracleSnapshot(const QString& package, const QStringList& skipTables) {
  QString snapshot;
  for (const QString& table : OracleRows(package, QStringLiteral("_Tables"))) {
    if (skipTables.contains(table)) continue;
    snapshot += "[table " + table + "]\n" + OracleRows(package, table).join(QLatin1Char('\n')) + "\n";
  }
  for (const auto& [name, bytes] : ts::OracleStreams(package.toStdString())) {
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    snapshot += "[stream " + QString::fromStdString(name) + "] " + data.toHex() + "\n";
  }
  return snapshot;
}
