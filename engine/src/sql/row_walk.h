// The row tuples of a join one at a time, in the installer's order: the
// last table of FROM outermost, so row positions compare from the last
// table to the first. It holds one candidate list per table, never the
// result, so the first rows of any join come at once.
#pragma once

#include <cstdint>
#include <vector>

#include "sql/select_query.h"

namespace msi::sql {

class RowWalk final : public RowObserver {
 public:
  // `params` must outlive the walk.
  RowWalk(Database& db, const SelectQuery& query, const std::vector<ParamValue>& params);
  ~RowWalk();
  RowWalk(const RowWalk&) = delete;
  RowWalk& operator=(const RowWalk&) = delete;

  // The next tuple that satisfies the condition (one row position per
  // table, valid until the next call), or nullptr after the last. Rows
  // removed while the walk is under way are passed over, the others are
  // each met once. Throws std::bad_alloc when a candidate list cannot be
  // copied.
  const uint32_t* Next();

  // Marks a position whose row was removed.
  static constexpr uint32_t kGone = UINT32_MAX;
  // Where a row at `row` is after `removed` (ascending) went, or kGone.
  static uint32_t Remap(uint32_t row, const std::vector<size_t>& removed);

  void RowsRemoved(const Table& table, const std::vector<size_t>& rows) override;
  void RowInserted(const Table& table, size_t row) override;

 private:
  struct Level {
    bool scan = true;
    size_t count = 0;                // kScan: rows when the level opened
    std::vector<uint32_t> matches;   // otherwise: the rows the lookup found
    size_t next = 0;
    size_t size() const { return scan ? count : matches.size(); }
    uint32_t at(size_t i) const { return scan ? static_cast<uint32_t>(i) : matches[i]; }
  };
  void Open(size_t t);
  std::vector<Table*> watched_;

  Database& db_;
  const SelectQuery& query_;
  const std::vector<ParamValue>& params_;
  std::vector<AccessPath> paths_;
  std::vector<Level> levels_;
  std::vector<uint32_t> rows_;
  bool started_ = false;
  bool done_ = false;
};

}  // namespace msi::sql
