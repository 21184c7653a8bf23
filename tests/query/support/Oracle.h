// What libmsi (msitools) reads from a package: the second opinion the
// tests compare our engine and handlers with.
#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

bool OracleAvailable();
// The table's rows as exported text lines (header lines dropped); empty
// when the package has no such table.
QStringList OracleRows(const QString& package, const QString& table);
// Rows of a dialog table whose Dialog (or Dialog_) column is `dialog`.
QStringList OracleDialogRows(const QString& package, const QString& table, const QString& dialog);
// Rows of a dialog table that do not belong to `dialog`.
QStringList OracleRowsWithout(const QString& package, const QString& table, const QString& dialog);
QStringList OracleTables(const QString& package);
QStringList OracleStreams(const QString& package);
QByteArray OracleStream(const QString& package, const QString& stream, bool* ok = nullptr);
// Every table and stream, to show that a change touched nothing else.
QString OracleSnapshot(const QString& package, const QStringList& skipTables = {});

extern const QStringList kDialogTables;

// Rows of a dialog table belonging to `dialog`, each written as
// "column=value" pairs in column-name order, so that tables whose columns
// stand in another order compare equal.
QStringList OracleNamedDialogRows(const QString& package, const QString& table, const QString& dialog);
