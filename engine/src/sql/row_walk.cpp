#include "sql/row_walk.h"

#include <algorithm>

namespace msi::sql {

RowWalk::RowWalk(Database& db, const SelectQuery& query, const std::vector<ParamValue>& params)
    : db_(db),
      query_(query),
      params_(params),
      paths_(query.PlanAccess(db, params)),
      levels_(query.table_count()),
      rows_(query.table_count(), 0) {
  for (Table* t : query.tables()) {
    if (std::find(watched_.begin(), watched_.end(), t) != watched_.end()) continue;
    watched_.push_back(t);
    t->Watch(this);
  }
}

RowWalk::~RowWalk() {
  for (Table* t : watched_) t->Unwatch(this);
}

uint32_t RowWalk::Remap(uint32_t row, const std::vector<size_t>& removed) {
  if (row == kGone) return kGone;
  const auto at = std::lower_bound(removed.begin(), removed.end(), static_cast<size_t>(row));
  if (at != removed.end() && *at == row) return kGone;
  return row - static_cast<uint32_t>(at - removed.begin());
}

void RowWalk::RowsRemoved(const Table& table, const std::vector<size_t>& rows) {
  auto below = [&](size_t pos) {
    return static_cast<size_t>(std::lower_bound(rows.begin(), rows.end(), pos) - rows.begin());
  };
  for (size_t t = 0; t < levels_.size(); ++t) {
    if (query_.table(t) != &table) continue;
    Level& level = levels_[t];
    rows_[t] = Remap(rows_[t], rows);
    if (level.scan) {
      level.next -= below(level.next);
      level.count -= below(level.count);
      continue;
    }
    size_t kept = 0, next = level.next;
    for (size_t i = 0; i < level.matches.size(); ++i) {
      const uint32_t moved = Remap(level.matches[i], rows);
      if (moved == kGone) {
        if (i < level.next) --next;
        continue;
      }
      level.matches[kept++] = moved;
    }
    level.matches.resize(kept);
    level.next = next;
  }
}

void RowWalk::RowInserted(const Table& table, size_t row) {
  for (size_t t = 0; t < levels_.size(); ++t) {
    if (query_.table(t) != &table) continue;
    Level& level = levels_[t];
    if (rows_[t] != kGone && rows_[t] >= row) ++rows_[t];
    if (level.scan) {
      // A row put at the cursor is not read: re-inserting the row just
      // deleted must not read it again, and again.
      if (row <= level.next) ++level.next;
      if (row < level.count) ++level.count;
      continue;
    }
    for (uint32_t& m : level.matches) m += m >= row ? 1 : 0;
  }
}

void RowWalk::Open(size_t t) {
  Level& level = levels_[t];
  level.next = 0;
  const AccessPath& p = paths_[t];
  Table* table = query_.table(t);
  if (p.kind == AccessPath::Kind::kScan) {
    level.scan = true;
    level.count = table->row_count();
    return;
  }
  level.scan = false;
  if (p.kind == AccessPath::Kind::kJoin && rows_[p.other.table] == kGone) {
    level.matches.clear();
    return;
  }
  const uint32_t key = p.kind == AccessPath::Kind::kConstant
                           ? p.stored
                           : query_.table(p.other.table)->cell(rows_[p.other.table], p.other.column);
  // A copy: the index goes when the table changes between fetches.
  level.matches = table->RowsWithValue(p.column, key);
}

const uint32_t* RowWalk::Next() {
  const size_t n = levels_.size();
  if (n == 0 || done_) return nullptr;
  size_t t = 0;
  if (!started_) {
    started_ = true;
    t = n - 1;
    Open(t);
  }
  for (;;) {
    Level& level = levels_[t];
    if (level.next >= level.size()) {
      if (++t == n) {
        done_ = true;
        return nullptr;
      }
      continue;
    }
    const uint32_t row = level.at(level.next++);
    if (row >= query_.table(t)->row_count()) continue;
    rows_[t] = row;
    if (t > 0) {
      Open(--t);
      continue;
    }
    // An outer row removed since the last call ends its inner rows.
    if (std::find(rows_.begin(), rows_.end(), kGone) != rows_.end()) continue;
    if (EvaluateCondition(query_.where(), db_, query_.tables(), rows_.data(), params_)) {
      return rows_.data();
    }
  }
}

}  // namespace msi::sql
