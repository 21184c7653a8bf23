// Row changes that keep a table, its streams and the string pool in step:
// the one place INSERT, UPDATE, DELETE and MsiViewModify change rows.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "sql/param.h"
#include "status.h"
#include "storage/database.h"

namespace msi::sql {

class RowEditor {
 public:
  RowEditor(Database& db, Table& table) : db_(db), table_(table) {}

  // `values` has one entry per column. ERROR_FUNCTION_FAILED when a row
  // with the same key exists.
  Status Insert(const std::vector<ParamValue>& values, bool temporary);
  // Sets the given columns of the row; a changed key moves the row (and
  // its streams), failing with ERROR_FUNCTION_FAILED if the new key is
  // taken.
  Status Update(size_t row, const std::vector<std::pair<size_t, ParamValue>>& changes);
  // What Update would refuse for any of these rows, found without changing
  // anything, for changes of non-key columns: a statement that changes
  // many rows checks them all first, so that it changes all or none.
  Status CheckUpdate(const std::vector<size_t>& rows,
                     const std::vector<std::pair<size_t, ParamValue>>& changes);
  Status Delete(size_t row);
  // Deletes the rows at these positions (ascending), moving the others
  // once rather than once per deleted row.
  Status DeleteRows(const std::vector<size_t>& rows);

  // For filling a new table that no view reads yet: rows are appended and
  // put in key order once by FinishLoad, and taken keys are found through a
  // hash set, so loading rows in any order costs n log n, not n squared.
  void DeferKeyOrder() { deferred_ = true; }
  void FinishLoad();

  // The row's values, one per column.
  std::vector<ParamValue> Read(size_t row);

 private:
  static constexpr size_t kMaxInPlace = 32;
  bool persistent(size_t col, bool temporary_row) const;
  bool IsStreamsTable() const { return table_.schema().name == "_Streams"; }
  bool HasBinaryColumn() const;
  // Drops the row's string references; true when it names a stream.
  bool ReleaseRow(size_t row);

  Database& db_;
  Table& table_;
  bool deferred_ = false;
  std::unordered_set<std::string> keys_;  // deferred: the keys inserted
};

}  // namespace msi::sql
