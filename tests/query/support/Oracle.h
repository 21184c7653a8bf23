// What libmsi (msitools) reads from a package: the second opinion the
// tests compare our engine and handlers with.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

bool OracleAvailable();
#define REQUIRE_LIBMSI()                                                                      \
  do {                                                                                        \
    if (!OracleAvailable()) QSKIP("libmsi_oracle or msiinfo is not available");               \
  } while (0)

// The table's rows, one line each, sorted; empty when there is no such table.
QStringList OracleRows(const QString& package, const QString& table);

// Which rows of a dialog table (by its Dialog or Dialog_ column) to give:
// those of the dialog, those of every other, or those of the dialog written
// as "column=value" pairs in column-name order, so that tables whose columns
// stand in another order compare equal.
enum class Rows { Of, Without, NamedOf };
QStringList OracleDialogRows(const QString& package, const QString& table, const QString& dialog,
                             Rows which = Rows::Of);

// Every table and stream, to show that a change touched nothing else.
QString OracleSnapshot(const QString& package, const QStringList& skipTables = {});

extern const QStringList kDialogTables;
