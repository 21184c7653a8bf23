#include "sql/row_editor.h"

#include <algorithm>
#include <array>

#include "sql/stored_value.h"

namespace msi::sql {

bool RowEditor::persistent(size_t col, bool temporary_row) const {
  return !temporary_row && !table_.schema().temporary && !table_.schema().columns[col].temporary();
}

bool RowEditor::HasBinaryColumn() const {
  for (const Column& c : table_.schema().columns) {
    if (c.kind() == ValueKind::kBinary) return true;
  }
  return false;
}

std::vector<ParamValue> RowEditor::Read(size_t row) {
  std::vector<ParamValue> out;
  for (size_t c = 0; c < table_.column_count(); ++c) out.push_back(FromStored(db_, table_, row, c));
  return out;
}

Status RowEditor::Insert(const std::vector<ParamValue>& values, bool temporary) {
  const auto& cols = table_.schema().columns;
  if (values.size() != cols.size()) return Status::Error(87, "wrong number of values");
  if (IsStreamsTable()) {
    if (values[0].kind != ParamValue::Kind::kString || values[0].text.empty()) {
      return Status::Error(1627, "a stream needs a name");
    }
    MSI_RETURN_IF_ERROR(Database::CheckStreamName(values[0].text));
    if (db_.FindStream(values[0].text)) return Status::Error(1627, "the stream exists already");
    StreamBytes bytes = values[1].kind == ParamValue::Kind::kStream ? values[1].stream : nullptr;
    db_.PutStream(values[0].text, bytes);
    return Status();
  }
  if (Database::IsCatalogTable(table_.schema().name)) {
    return Status::Error(1627, "system tables cannot be changed with rows");
  }
  std::vector<uint32_t> stored(cols.size(), 0);
  std::vector<StreamBytes> streams(cols.size());
  auto undo = [&]() {
    for (size_t c = 0; c < cols.size(); ++c) {
      if (cols[c].kind() == ValueKind::kString && stored[c] != 0) {
        db_.strings().Release(stored[c], persistent(c, temporary));
      }
    }
  };
  for (size_t c = 0; c < cols.size(); ++c) {
    auto v = ToStored(db_, cols[c], values[c], persistent(c, temporary), &streams[c]);
    if (!v.ok()) {
      undo();
      return v.status();
    }
    stored[c] = *v;
  }
  std::string key;
  if (deferred_) {
    for (size_t c = 0; c < cols.size(); ++c) {
      if (cols[c].is_key()) key.append(reinterpret_cast<const char*>(&stored[c]), sizeof stored[c]);
    }
  }
  if (deferred_ ? keys_.count(key) != 0 : table_.FindRowByKey(stored) >= 0) {
    undo();
    return Status::Error(1627, "a row with this key exists already");
  }
  bool has_stream = false;
  for (const StreamBytes& s : streams) has_stream = has_stream || s != nullptr;
  if (has_stream) {
    Table probe(table_.schema());
    probe.AppendRow(stored);
    Status st = Database::CheckStreamName(db_.CellStreamName(probe, 0));
    if (!st.ok()) {
      undo();
      return st;
    }
  }
  size_t row = 0;
  if (deferred_) {
    table_.AppendRow(stored, temporary);
    row = table_.row_count() - 1;
    keys_.insert(std::move(key));
  } else {
    row = table_.InsertRow(stored, temporary);
  }
  for (size_t c = 0; c < cols.size(); ++c) {
    if (streams[c]) db_.PutStream(db_.CellStreamName(table_, row), streams[c]);
  }
  if (!temporary) db_.MarkChanged();
  return Status();
}

void RowEditor::FinishLoad() {
  if (deferred_) table_.SortByKey();
  deferred_ = false;
  keys_.clear();
}

Status RowEditor::Update(size_t row, const std::vector<std::pair<size_t, ParamValue>>& changes) {
  const auto& cols = table_.schema().columns;
  if (IsStreamsTable()) {
    std::string name(db_.strings().Utf8(table_.cell(row, 0)));
    for (const auto& [col, value] : changes) {
      if (col != 0) continue;
      if (value.kind != ParamValue::Kind::kString || value.text != name) {
        return Status::Error(1627, "stream names cannot change");
      }
    }
    for (const auto& [col, value] : changes) {
      if (col == 0) continue;
      if (value.kind == ParamValue::Kind::kStream) db_.PutStream(name, value.stream);
      else db_.PutStream(name, nullptr);
    }
    return Status();
  }
  if (Database::IsCatalogTable(table_.schema().name)) {
    return Status::Error(1627, "system tables cannot be changed with rows");
  }
  const bool temporary = table_.row_temporary(row);
  // The common case of a bulk UPDATE: no key and no stream involved, so
  // the cells change in place with nothing to allocate per row.
  bool in_place = changes.size() <= kMaxInPlace && !HasBinaryColumn();
  for (const auto& change : changes) in_place = in_place && !cols[change.first].is_key();
  if (in_place) {
    std::array<uint32_t, kMaxInPlace> values{};
    for (size_t i = 0; i < changes.size(); ++i) {
      const auto& [col, value] = changes[i];
      auto v = ToStored(db_, cols[col], value, persistent(col, temporary), nullptr);
      if (!v.ok()) return v.status();
      values[i] = *v;
    }
    for (size_t i = 0; i < changes.size(); ++i) {
      const size_t col = changes[i].first;
      const uint32_t old = table_.cell(row, col);
      if (cols[col].kind() == ValueKind::kString && old != 0 && old != values[i]) {
        db_.strings().Release(old, persistent(col, temporary));
      }
      table_.row_data(row)[col] = values[i];
    }
    table_.Touch();
    if (!temporary) db_.MarkChanged();
    return Status();
  }
  std::vector<uint32_t> stored(table_.row_data(row), table_.row_data(row) + cols.size());
  std::vector<StreamBytes> streams(cols.size());
  std::vector<uint8_t> stream_set(cols.size(), 0);
  bool key_changed = false;
  for (const auto& [col, value] : changes) {
    auto v = ToStored(db_, cols[col], value, persistent(col, temporary), &streams[col]);
    if (!v.ok()) return v.status();
    if (cols[col].kind() == ValueKind::kBinary) stream_set[col] = 1;
    if (cols[col].is_key() && *v != stored[col]) key_changed = true;
    stored[col] = *v;
  }
  // Streams of binary cells are named after the key: collect them under
  // the old name before the key moves.
  std::vector<StreamBytes> carried(cols.size());
  const bool binary = HasBinaryColumn();
  const std::string old_name = binary ? db_.CellStreamName(table_, row) : std::string();
  for (size_t c = 0; c < cols.size(); ++c) {
    if (cols[c].kind() != ValueKind::kBinary || table_.cell(row, c) == 0) continue;
    if (stream_set[c] || key_changed) {
      auto where = db_.StreamForCell(table_, row, c);
      if (where && !stream_set[c]) {
        auto bytes = db_.ReadStream(*where);
        if (!bytes.ok()) return bytes.status();
        carried[c] = *bytes;
      }
    }
  }
  if (key_changed) {
    const long other = table_.FindRowByKey(stored);
    if (other >= 0 && static_cast<size_t>(other) != row) {
      return Status::Error(1627, "a row with this key exists already");
    }
  }
  bool keeps_stream = false;
  for (size_t c = 0; c < cols.size(); ++c) keeps_stream = keeps_stream || carried[c] || streams[c];
  if (keeps_stream) {
    Table probe(table_.schema());
    probe.AppendRow(stored);
    MSI_RETURN_IF_ERROR(Database::CheckStreamName(db_.CellStreamName(probe, 0)));
  }
  for (const auto& [col, value] : changes) {
    (void)value;
    const uint32_t old = table_.cell(row, col);
    if (cols[col].kind() == ValueKind::kString && old != 0 && old != stored[col]) {
      db_.strings().Release(old, persistent(col, temporary));
    }
  }
  bool had_stream = false;
  for (size_t c = 0; c < cols.size(); ++c) {
    had_stream = had_stream || (cols[c].kind() == ValueKind::kBinary && table_.cell(row, c) != 0);
  }
  // Only a new key moves the row; otherwise its cells change in place.
  size_t moved = row;
  if (key_changed) {
    table_.DeleteRow(row);
    moved = table_.InsertRow(stored, temporary);
  } else {
    std::copy(stored.begin(), stored.end(), table_.row_data(row));
    table_.Touch();
  }
  if (!binary) {
    if (!temporary) db_.MarkChanged();
    return Status();
  }
  const std::string new_name = db_.CellStreamName(table_, moved);
  if (had_stream && key_changed) db_.RemoveStream(old_name);
  for (size_t c = 0; c < cols.size(); ++c) {
    if (cols[c].kind() != ValueKind::kBinary) continue;
    if (stream_set[c]) {
      if (streams[c]) db_.PutStream(new_name, streams[c]);
      else if (!key_changed) db_.RemoveStream(old_name);
    } else if (carried[c]) {
      db_.PutStream(new_name, carried[c]);
    }
  }
  if (!temporary) db_.MarkChanged();
  return Status();
}

Status RowEditor::CheckUpdate(const std::vector<size_t>& rows,
                              const std::vector<std::pair<size_t, ParamValue>>& changes) {
  if (rows.empty()) return Status();
  if (IsStreamsTable()) {
    for (size_t row : rows) {
      const std::string_view name = db_.strings().Utf8(table_.cell(row, 0));
      for (const auto& [col, value] : changes) {
        if (col == 0 && (value.kind != ParamValue::Kind::kString || value.text != name)) {
          return Status::Error(1627, "stream names cannot change");
        }
      }
    }
    return Status();
  }
  if (Database::IsCatalogTable(table_.schema().name)) {
    return Status::Error(1627, "system tables cannot be changed with rows");
  }
  // A value's conversion depends on its column alone; the reference it
  // takes is dropped again (ids stay taken until the next commit).
  const auto& cols = table_.schema().columns;
  bool stream = false;
  for (const auto& [col, value] : changes) {
    StreamBytes bytes;
    auto v = ToStored(db_, cols[col], value, false, &bytes);
    if (!v.ok()) return v.status();
    if (cols[col].kind() == ValueKind::kString && *v != 0) db_.strings().Release(*v, false);
    stream = stream || bytes != nullptr;
  }
  // A stream is stored under a name made from the row's key.
  if (stream) {
    for (size_t row : rows) {
      MSI_RETURN_IF_ERROR(Database::CheckStreamName(db_.CellStreamName(table_, row)));
    }
  }
  return Status();
}

bool RowEditor::ReleaseRow(size_t row) {
  const auto& cols = table_.schema().columns;
  const bool temporary = table_.row_temporary(row);
  bool has_stream = false;
  for (size_t c = 0; c < cols.size(); ++c) {
    const uint32_t v = table_.cell(row, c);
    if (cols[c].kind() == ValueKind::kBinary && v != 0) has_stream = true;
    if (cols[c].kind() == ValueKind::kString && v != 0) {
      db_.strings().Release(v, persistent(c, temporary));
    }
  }
  return has_stream;
}

Status RowEditor::Delete(size_t row) {
  if (IsStreamsTable()) {
    db_.RemoveStream(std::string(db_.strings().Utf8(table_.cell(row, 0))));
    return Status();
  }
  if (Database::IsCatalogTable(table_.schema().name)) {
    return Status::Error(1627, "system tables cannot be changed with rows");
  }
  const bool temporary = table_.row_temporary(row);
  const bool has_stream = ReleaseRow(row);
  const std::string name = db_.CellStreamName(table_, row);
  table_.DeleteRow(row);
  if (has_stream && db_.FindStream(name)) db_.RemoveStream(name);
  if (!temporary) db_.MarkChanged();
  return Status();
}

Status RowEditor::DeleteRows(const std::vector<size_t>& rows) {
  if (IsStreamsTable() || Database::IsCatalogTable(table_.schema().name)) {
    for (size_t i = rows.size(); i-- > 0;) MSI_RETURN_IF_ERROR(Delete(rows[i]));
    return Status();
  }
  std::vector<std::string> streams;
  bool persistent_row = false;
  for (size_t row : rows) {
    persistent_row = persistent_row || !table_.row_temporary(row);
    if (ReleaseRow(row)) streams.push_back(db_.CellStreamName(table_, row));
  }
  table_.DeleteRows(rows);
  for (const std::string& name : streams) {
    if (db_.FindStream(name)) db_.RemoveStream(name);
  }
  if (persistent_row) db_.MarkChanged();
  return Status();
}

}  // namespace msi::sql
