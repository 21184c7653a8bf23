#include "storage/table.h"

#include <algorithm>

#include "storage/table_stream.h"
#include "vector_growth.h"

namespace msi {

Result<std::unique_ptr<Table>> Table::Decode(TableSchema schema, std::span<const uint8_t> data,
                                             unsigned ref_width_hint) {
  auto table = std::make_unique<Table>(std::move(schema));
  const auto& cols = table->schema_.columns;
  if (cols.empty() || data.empty()) return table;
  const unsigned ref = StreamRefWidth(table->schema_, data.size(), ref_width_hint);
  const size_t width = StoredRowWidth(table->schema_, ref);
  const size_t rows = data.size() / width;
  // Row by row, reading each column where it starts: the cells are written
  // once, in order, with no zeroing pass before.
  struct Source {
    const uint8_t* p;
    unsigned w;
  };
  std::vector<Source> sources;
  size_t offset = 0;
  for (const Column& c : cols) {
    const unsigned w = c.StoredWidth(ref);
    sources.push_back({data.data() + offset, w});
    offset += static_cast<size_t>(w) * rows;
  }
  table->cells_.reserve(rows * cols.size());
  table->temporary_.assign(rows, 0);
  for (size_t r = 0; r < rows; ++r) {
    for (Source& s : sources) {
      const uint8_t* p = s.p;
      uint32_t v = p[0] | (static_cast<uint32_t>(p[1]) << 8);
      if (s.w >= 3) v |= static_cast<uint32_t>(p[2]) << 16;
      if (s.w == 4) v |= static_cast<uint32_t>(p[3]) << 24;
      table->cells_.push_back(v);
      s.p += s.w;
    }
  }
  table->CheckSorted();
  return table;
}

const std::vector<uint32_t>& Table::RowsWithValue(size_t col, uint32_t stored) {
  static const std::vector<uint32_t> kNone;
  auto it = indexes_.find(col);
  if (it == indexes_.end()) {
    // Built aside and kept only whole: running out of memory half-way must
    // not leave an index that misses rows.
    std::unordered_map<uint32_t, std::vector<uint32_t>> index;
    const size_t n = row_count();
    for (size_t r = 0; r < n; ++r) index[cell(r, col)].push_back(static_cast<uint32_t>(r));
    it = indexes_.emplace(col, std::move(index)).first;
  }
  auto hit = it->second.find(stored);
  return hit == it->second.end() ? kNone : hit->second;
}

int Table::CompareKeys(const uint32_t* a, const uint32_t* b) const {
  const auto& cols = schema_.columns;
  for (size_t c = 0; c < cols.size(); ++c) {
    if (!cols[c].is_key()) continue;
    if (a[c] != b[c]) return a[c] < b[c] ? -1 : 1;
  }
  return 0;
}

void Table::CheckSorted() {
  sorted_ = true;
  for (size_t r = 1; r < row_count() && sorted_; ++r) {
    sorted_ = CompareKeys(row_data(r - 1), row_data(r)) <= 0;
  }
}

long Table::FindRowByKey(const std::vector<uint32_t>& values) const {
  const size_t n = row_count();
  if (!sorted_) {
    for (size_t r = 0; r < n; ++r) {
      if (CompareKeys(row_data(r), values.data()) == 0) return static_cast<long>(r);
    }
    return -1;
  }
  size_t lo = 0, hi = n;  // first row whose key is not less
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (CompareKeys(row_data(mid), values.data()) < 0) lo = mid + 1;
    else hi = mid;
  }
  return lo < n && CompareKeys(row_data(lo), values.data()) == 0 ? static_cast<long>(lo) : -1;
}

size_t Table::InsertRow(const std::vector<uint32_t>& values, bool temporary) {
  const size_t n = row_count();
  // After the last row whose key is not greater: equal keys keep their
  // insertion order, and an unsorted (damaged) table still gets a place.
  size_t pos = n;
  if (sorted_) {
    size_t lo = 0, hi = n;
    while (lo < hi) {
      const size_t mid = lo + (hi - lo) / 2;
      if (CompareKeys(row_data(mid), values.data()) <= 0) lo = mid + 1;
      else hi = mid;
    }
    pos = lo;
  } else {
    while (pos > 0 && CompareKeys(row_data(pos - 1), values.data()) > 0) --pos;
  }
  const size_t w = column_count();
  if (front_ > 0 && pos < n / 2) {
    // Rows before the new one move one place towards the start.
    --front_;
    const auto base = cells_.begin() + static_cast<long>(front_ * w);
    std::copy(base + static_cast<long>(w), base + static_cast<long>((pos + 1) * w), base);
    std::copy(values.begin(), values.end(), base + static_cast<long>(pos * w));
    const auto flags = temporary_.begin() + static_cast<long>(front_);
    std::copy(flags + 1, flags + static_cast<long>(pos + 1), flags);
    flags[static_cast<long>(pos)] = temporary ? 1 : 0;
  } else {
    ReserveOneMore(temporary_);  // so that no half row can stay behind
    cells_.insert(cells_.begin() + static_cast<long>((front_ + pos) * w), values.begin(), values.end());
    temporary_.insert(temporary_.begin() + static_cast<long>(front_ + pos), temporary ? 1 : 0);
  }
  Touch();
  for (RowObserver* o : observers_) o->RowInserted(*this, pos);
  return pos;
}

void Table::DeleteRow(size_t row) {
  const size_t n = row_count(), w = column_count();
  if (row < n / 2) {
    // Rows before it move one place towards the end, into its place.
    const auto base = cells_.begin() + static_cast<long>(front_ * w);
    std::copy_backward(base, base + static_cast<long>(row * w), base + static_cast<long>((row + 1) * w));
    const auto flags = temporary_.begin() + static_cast<long>(front_);
    std::copy_backward(flags, flags + static_cast<long>(row), flags + static_cast<long>(row + 1));
    ++front_;
    if (front_ > n) Compact();  // never more unused rows than rows
  } else {
    const auto first = cells_.begin() + static_cast<long>((front_ + row) * w);
    cells_.erase(first, first + static_cast<long>(w));
    temporary_.erase(temporary_.begin() + static_cast<long>(front_ + row));
  }
  Touch();
  if (!observers_.empty()) {
    const std::vector<size_t> rows{row};
    for (RowObserver* o : observers_) o->RowsRemoved(*this, rows);
  }
}

void Table::Compact() {
  cells_.erase(cells_.begin(), cells_.begin() + static_cast<long>(front_ * column_count()));
  temporary_.erase(temporary_.begin(), temporary_.begin() + static_cast<long>(front_));
  front_ = 0;
}

void Table::DeleteRows(const std::vector<size_t>& rows) {
  if (rows.empty()) return;
  Compact();
  const size_t n = row_count(), w = column_count();
  size_t kept = 0, gone = 0;
  for (size_t r = 0; r < n; ++r) {
    if (gone < rows.size() && rows[gone] == r) {
      ++gone;
      continue;
    }
    if (kept != r) {
      std::copy_n(cells_.begin() + static_cast<long>(r * w), w, cells_.begin() + static_cast<long>(kept * w));
      temporary_[kept] = temporary_[r];
    }
    ++kept;
  }
  cells_.resize(kept * w);
  temporary_.resize(kept);
  Touch();
  for (RowObserver* o : observers_) o->RowsRemoved(*this, rows);
}

void Table::ReplaceRows(Table&& other) {
  schema_ = std::move(other.schema_);
  cells_ = std::move(other.cells_);
  temporary_ = std::move(other.temporary_);
  front_ = other.front_;
  sorted_ = other.sorted_;
  Touch();
}

void Table::Unwatch(RowObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

size_t Table::SetCell(size_t row, size_t col, uint32_t stored) {
  if (!schema_.columns[col].is_key()) {
    row_data(row)[col] = stored;
    Touch();
    return row;
  }
  std::vector<uint32_t> values(row_data(row), row_data(row) + column_count());
  const bool temporary = row_temporary(row);
  values[col] = stored;
  DeleteRow(row);
  return InsertRow(values, temporary);
}

void Table::SortByKey() {
  Compact();
  const size_t n = row_count(), w = column_count();
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return CompareKeys(row_data(a), row_data(b)) < 0;
  });
  std::vector<uint32_t> cells;
  std::vector<uint8_t> temporary;
  cells.reserve(cells_.size());
  for (size_t i : order) {
    cells.insert(cells.end(), cells_.begin() + static_cast<long>(i * w),
                 cells_.begin() + static_cast<long>((i + 1) * w));
    temporary.push_back(temporary_[i]);
  }
  cells_.swap(cells);
  temporary_.swap(temporary);
  sorted_ = true;
  Touch();
}

void Table::AddColumn(const Column& column) {
  Compact();
  const size_t n = row_count(), w = column_count();
  std::vector<uint32_t> cells;
  cells.reserve(n * (w + 1));
  for (size_t r = 0; r < n; ++r) {
    cells.insert(cells.end(), cells_.begin() + static_cast<long>(r * w),
                 cells_.begin() + static_cast<long>((r + 1) * w));
    cells.push_back(0);
  }
  schema_.columns.push_back(column);
  cells_.swap(cells);
  Touch();
}

}  // namespace msi
