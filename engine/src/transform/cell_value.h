// A table cell independent of any string pool: what transforms carry and
// compare between two databases.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace msi {

using StreamBytes = std::shared_ptr<const std::vector<uint8_t>>;

struct CellValue {
  enum class Kind { kNull, kInteger, kText, kStream };
  Kind kind = Kind::kNull;
  int32_t integer = 0;
  std::string text;    // UTF-8
  StreamBytes stream;  // never null for kStream

  static CellValue Null() { return {}; }
  static CellValue Integer(int32_t v) {
    CellValue c;
    c.kind = Kind::kInteger;
    c.integer = v;
    return c;
  }
  static CellValue Text(std::string v) {
    CellValue c;
    c.kind = Kind::kText;
    c.text = std::move(v);
    return c;
  }
  static CellValue Stream(StreamBytes v) {
    CellValue c;
    c.kind = Kind::kStream;
    c.stream = std::move(v);
    return c;
  }
  bool is_null() const { return kind == Kind::kNull; }
  bool operator==(const CellValue& o) const {
    if (kind != o.kind) return false;
    switch (kind) {
      case Kind::kNull: return true;
      case Kind::kInteger: return integer == o.integer;
      case Kind::kText: return text == o.text;
      case Kind::kStream: return *stream == *o.stream;
    }
    return false;
  }
  // As _TransformView and msisql show it: decimal, text, or empty.
  std::string ToText() const {
    switch (kind) {
      case Kind::kInteger: return std::to_string(integer);
      case Kind::kText: return text;
      default: return std::string();
    }
  }
};

}  // namespace msi
