#include "sql/stored_value.h"

#include <cerrno>
#include <cstdlib>

namespace msi::sql {

Result<uint32_t> ToStored(Database& db, const Column& column, const ParamValue& v,
                          bool persistent, StreamBytes* stream) {
  if (stream != nullptr) stream->reset();
  const bool is_null = v.kind == ParamValue::Kind::kNull ||
                       (v.kind == ParamValue::Kind::kString && v.text.empty());
  if (is_null) {
    if (!column.nullable()) {
      return Status::Error(1627, "column " + column.name + " does not take null");
    }
    return 0u;
  }
  switch (column.kind()) {
    case ValueKind::kInteger: {
      int64_t value;
      if (v.kind == ParamValue::Kind::kInteger) {
        value = v.integer;
      } else if (v.kind == ParamValue::Kind::kString) {
        char* end = nullptr;
        errno = 0;
        value = std::strtoll(v.text.c_str(), &end, 10);
        if (end == v.text.c_str() || *end != '\0' || errno != 0) {
          return Status::Error(1629, "column " + column.name + " takes numbers");
        }
      } else {
        return Status::Error(1629, "column " + column.name + " takes numbers");
      }
      const int64_t lo = column.short_int() ? -32768 : INT32_MIN + 1;
      const int64_t hi = column.short_int() ? 32767 : INT32_MAX;
      if (value < lo || value > hi) {
        return Status::Error(1629, "number out of range for column " + column.name);
      }
      return StoreInt(static_cast<int32_t>(value), column.short_int());
    }
    case ValueKind::kString: {
      std::string text;
      if (v.kind == ParamValue::Kind::kString) text = v.text;
      else if (v.kind == ParamValue::Kind::kInteger) text = std::to_string(v.integer);
      else return Status::Error(1629, "column " + column.name + " takes text");
      auto id = db.strings().AddRef(text, persistent);
      if (!id) return Status::Error(1629, "text not representable in the package codepage");
      return *id;
    }
    case ValueKind::kBinary:
      if (v.kind != ParamValue::Kind::kStream) {
        return Status::Error(1629, "column " + column.name + " takes streams");
      }
      if (stream != nullptr) *stream = v.stream;
      return 1u;
  }
  return Status::Error(1629, "unknown column type");
}

ParamValue FromStored(Database& db, const Table& table, size_t row, size_t col) {
  ParamValue v;
  const Column& c = table.schema().columns[col];
  const uint32_t stored = table.cell(row, col);
  if (stored == 0) return v;
  switch (c.kind()) {
    case ValueKind::kInteger:
      v.kind = ParamValue::Kind::kInteger;
      v.integer = LoadInt(stored, c.short_int());
      break;
    case ValueKind::kString:
      v.kind = ParamValue::Kind::kString;
      v.text = db.strings().Utf8(stored);
      break;
    case ValueKind::kBinary: {
      auto where = db.StreamForCell(table, row, col);
      if (!where) break;
      auto bytes = db.ReadStream(*where);
      if (!bytes.ok()) break;
      v.kind = ParamValue::Kind::kStream;
      v.stream = *bytes;
      break;
    }
  }
  return v;
}

}  // namespace msi::sql
