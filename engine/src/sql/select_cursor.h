// The result of a SELECT, produced as it is read. Without ORDER BY the
// rows come straight from the join walk (DISTINCT remembers only the
// values of the rows it kept); with ORDER BY every result row is kept as
// its row positions, with one more number per row for the order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sql/distinct_filter.h"
#include "sql/row_walk.h"
#include "sql/select_query.h"

namespace msi::sql {

class SelectCursor final : public RowObserver {
 public:
  SelectCursor(Database& db, const SelectQuery& query, std::vector<ParamValue> params);
  ~SelectCursor();
  SelectCursor(const SelectCursor&) = delete;
  SelectCursor& operator=(const SelectCursor&) = delete;

  // The next row tuple (one row position per FROM table, valid until the
  // next call), or nullptr after the last. ERROR_NOT_ENOUGH_MEMORY when
  // what the result must keep does not fit.
  Result<const uint32_t*> Next();

  // The kept rows of ORDER BY follow their rows as others come and go.
  void RowsRemoved(const Table& table, const std::vector<size_t>& rows) override;
  void RowInserted(const Table& table, size_t row) override;

 private:
  friend class SelectQuery;
  // ORDER BY: walks the whole result and sorts it.
  void Collect();
  // DISTINCT: whether the tuple's output values are new.
  bool Fresh(const uint32_t* tuple);

  const SelectQuery& query_;
  std::vector<ParamValue> params_;
  RowWalk walk_;  // reads params_
  std::optional<DistinctFilter> distinct_;
  std::vector<uint32_t> values_;  // output values of one tuple
  bool sorted_ = false;
  std::vector<uint32_t> tuples_;  // ORDER BY: row positions, in walk order
  std::vector<uint32_t> order_;   // ORDER BY: tuple numbers, sorted
  size_t next_ = 0;
  std::vector<Table*> watched_;
  // Applies `f` to every kept position of a row of `table`.
  template <typename F>
  void ForEachKept(const Table& table, F f);
};

}  // namespace msi::sql
