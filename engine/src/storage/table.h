// One table in memory: its columns and its rows of stored values (string
// ids, offset integers, binary markers), row-major, in stored order.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "status.h"
#include "storage/column_type.h"
#include "vector_growth.h"

namespace msi {

struct TableSchema {
  std::string name;
  std::vector<Column> columns;
  bool temporary = false;  // created TEMPORARY: never written to the file
  size_t key_count() const {
    size_t n = 0;
    for (const Column& c : columns) n += c.is_key() ? 1 : 0;
    return n;
  }
  // Index of the named column, or -1.
  int Find(const std::string& column) const {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].name == column) return static_cast<int>(i);
    }
    return -1;
  }
};

class Table;

// Told when rows change position, so that a cursor reading the table keeps
// pointing at the same rows (a fetch-and-delete loop must not skip any).
class RowObserver {
 public:
  // `rows`: the positions they had, ascending.
  virtual void RowsRemoved(const Table& table, const std::vector<size_t>& rows) = 0;
  virtual void RowInserted(const Table& table, size_t row) = 0;

 protected:
  ~RowObserver() = default;
};

class Table {
 public:
  explicit Table(TableSchema schema) : schema_(std::move(schema)) {}
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  // Takes the rows of `other` (a rebuilt virtual table); observers stay.
  void ReplaceRows(Table&& other);
  void Watch(RowObserver* observer) { observers_.push_back(observer); }
  void Unwatch(RowObserver* observer);

  // Decodes a column-major table stream. `ref_width_hint` is the string
  // pool's request (2 or 3); a stream whose size only fits the other width
  // is read with that one, as the installer does.
  static Result<std::unique_ptr<Table>> Decode(TableSchema schema, std::span<const uint8_t> data,
                                               unsigned ref_width_hint);

  const TableSchema& schema() const { return schema_; }
  size_t column_count() const { return schema_.columns.size(); }
  size_t row_count() const {
    return schema_.columns.empty() ? 0 : cells_.size() / schema_.columns.size() - front_;
  }
  uint32_t cell(size_t row, size_t col) const { return cells_[(front_ + row) * column_count() + col]; }
  uint32_t* row_data(size_t row) { return &cells_[(front_ + row) * column_count()]; }
  const uint32_t* row_data(size_t row) const { return &cells_[(front_ + row) * column_count()]; }
  // Appends without regard to key order (virtual tables, loading).
  void AppendRow(const std::vector<uint32_t>& values, bool temporary = false) {
    ReserveOneMore(temporary_);  // so that no half row can stay behind
    cells_.insert(cells_.end(), values.begin(), values.end());
    temporary_.push_back(temporary ? 1 : 0);
    sorted_ = false;
    Touch();
  }

  // Rows are kept in primary key order (stored values compared as
  // unsigned numbers: integers by value, strings by id), as the format
  // requires. Returns the new row's position.
  size_t InsertRow(const std::vector<uint32_t>& values, bool temporary);
  void DeleteRow(size_t row);
  // Removes the rows at these positions (ascending) in one pass.
  void DeleteRows(const std::vector<size_t>& rows);
  // Changes one cell; a key change moves the row to its place. Returns the
  // row's new position.
  size_t SetCell(size_t row, size_t col, uint32_t stored);
  bool row_temporary(size_t row) const { return temporary_[front_ + row] != 0; }
  // The row whose key columns hold the key values of `values` (a full
  // row), or -1.
  long FindRowByKey(const std::vector<uint32_t>& values) const;
  // -1, 0, 1 comparing the keys of two full rows.
  int CompareKeys(const uint32_t* a, const uint32_t* b) const;
  // Sorts rows by key, keeping the order of equal keys. Rows move without
  // telling observers: only for a table no cursor reads yet.
  void SortByKey();
  // Whether the rows are known to be in key order.
  bool sorted() const { return sorted_; }
  // Adds a column at the end; every row gets null.
  void AddColumn(const Column& column);

  // Rows whose column `col` holds exactly `stored`, in row order. The
  // index behind it is built on first use and dropped on change.
  const std::vector<uint32_t>& RowsWithValue(size_t col, uint32_t stored);
  void InvalidateIndexes() { indexes_.clear(); }

  // Bumped whenever the rows change, so views can tell.
  uint64_t generation() const { return generation_; }
  void Touch() { ++generation_; InvalidateIndexes(); }

 private:
  TableSchema schema_;
  std::vector<uint32_t> cells_;
  std::vector<uint8_t> temporary_;  // per row: inserted TEMPORARY
  // Unused rows at the start of both vectors: a row deleted or inserted in
  // the first half moves the rows before it, not the ones after, so a
  // fetch-and-delete loop costs each row a constant, not the table.
  size_t front_ = 0;
  void Compact();
  // Rows known to be in key order: lookups and inserts can then search
  // instead of scanning.
  bool sorted_ = true;
  void CheckSorted();
  std::unordered_map<size_t, std::unordered_map<uint32_t, std::vector<uint32_t>>> indexes_;
  uint64_t generation_ = 0;
  std::vector<RowObserver*> observers_;
};

}  // namespace msi
