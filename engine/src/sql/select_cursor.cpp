#include "sql/select_cursor.h"

#include <algorithm>
#include <new>

namespace msi::sql {
namespace {

Status OutOfMemory() { return Status::Error(8, "not enough memory for the result of the query"); }

}  // namespace

SelectCursor::SelectCursor(Database& db, const SelectQuery& query, std::vector<ParamValue> params)
    : query_(query), params_(std::move(params)), walk_(db, query, params_) {
  if (query.distinct()) distinct_.emplace(query.output().size());
  values_.resize(query.output().size());
}

SelectCursor::~SelectCursor() {
  for (Table* t : watched_) t->Unwatch(this);
}

template <typename F>
void SelectCursor::ForEachKept(const Table& table, F f) {
  const size_t width = query_.table_count();
  for (size_t t = 0; t < width; ++t) {
    if (query_.table(t) != &table) continue;
    for (size_t i = t; i < tuples_.size(); i += width) f(tuples_[i]);
  }
}

void SelectCursor::RowsRemoved(const Table& table, const std::vector<size_t>& rows) {
  ForEachKept(table, [&](uint32_t& row) { row = RowWalk::Remap(row, rows); });
}

void SelectCursor::RowInserted(const Table& table, size_t row) {
  ForEachKept(table, [&](uint32_t& kept) {
    if (kept != RowWalk::kGone && kept >= row) ++kept;
  });
}

Result<std::unique_ptr<SelectCursor>> SelectQuery::Start(Database& db,
                                                         std::vector<ParamValue> params) const {
  try {
    auto cursor = std::make_unique<SelectCursor>(db, *this, std::move(params));
    if (!order_.empty()) cursor->Collect();
    return cursor;
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
}

bool SelectCursor::Fresh(const uint32_t* tuple) {
  if (!distinct_) return true;
  const auto& out = query_.output();
  for (size_t i = 0; i < out.size(); ++i) {
    values_[i] = query_.table(out[i].table)->cell(tuple[out[i].table], out[i].column);
  }
  return distinct_->Insert(values_.data());
}

void SelectCursor::Collect() {
  const size_t width = query_.table_count();
  while (const uint32_t* tuple = walk_.Next()) {
    if (Fresh(tuple)) tuples_.insert(tuples_.end(), tuple, tuple + width);
  }
  distinct_.reset();
  tuples_.shrink_to_fit();
  const size_t count = width == 0 ? 0 : tuples_.size() / width;
  if (count > UINT32_MAX) throw std::bad_alloc();
  order_.resize(count);
  for (size_t i = 0; i < count; ++i) order_[i] = static_cast<uint32_t>(i);
  // Stored values order integers numerically and strings by id, with null
  // first; ties keep their row order.
  const auto& keys = query_.order();
  std::stable_sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) {
    for (const BoundColumn& c : keys) {
      Table* t = query_.table(c.table);
      const uint32_t va = t->cell(tuples_[a * width + c.table], c.column);
      const uint32_t vb = t->cell(tuples_[b * width + c.table], c.column);
      if (va != vb) return va < vb;
    }
    return false;
  });
  sorted_ = true;
  for (Table* t : query_.tables()) {
    if (std::find(watched_.begin(), watched_.end(), t) != watched_.end()) continue;
    watched_.reserve(query_.table_count());
    watched_.push_back(t);
    t->Watch(this);
  }
}

Result<const uint32_t*> SelectCursor::Next() {
  if (sorted_) {
    const size_t width = query_.table_count();
    if (next_ >= order_.size()) return static_cast<const uint32_t*>(nullptr);
    return &tuples_[static_cast<size_t>(order_[next_++]) * width];
  }
  try {
    for (;;) {
      const uint32_t* tuple = walk_.Next();
      if (tuple == nullptr || Fresh(tuple)) return tuple;
    }
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
}

}  // namespace msi::sql
