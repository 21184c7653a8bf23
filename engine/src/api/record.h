// A record: numbered fields of null, integer, text or stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "api/handle_table.h"
#include "status.h"
#include "storage/database.h"

namespace msi::api {

// A stream a field refers to: bytes in memory, or an entry of a package
// that is read only when the caller reads it.
struct StreamSource {
  std::shared_ptr<Database> db;  // null for bytes given in memory
  StreamLocation where;
  uint64_t size = 0;
  StreamBytes bytes;  // loaded on first Load

  Result<StreamBytes> Load();
  // Copies up to n bytes from `offset` (fewer only at the end). A large
  // stream of a package is read from the file piece by piece, never
  // loaded whole, so reading it costs no memory of its size.
  Result<size_t> ReadAt(uint64_t offset, uint8_t* out, size_t n);

 private:
  std::shared_ptr<const cfb::StreamExtents> pieces_;
  bool pieces_looked_up_ = false;
};

struct Field {
  enum class Kind { kNull, kInteger, kString, kStream } kind = Kind::kNull;
  int32_t integer = 0;
  std::string text;  // UTF-8
  std::shared_ptr<StreamSource> stream;
  uint64_t read_position = 0;
};

class Record : public Object {
 public:
  static constexpr ObjectKind kKind = ObjectKind::kRecord;
  explicit Record(unsigned count) : fields_(count + 1) {}
  ObjectKind kind() const override { return kKind; }

  unsigned count() const { return static_cast<unsigned>(fields_.size() - 1); }
  bool Has(unsigned i) const { return i < fields_.size(); }
  Field& at(unsigned i) { return fields_[i]; }
  const Field& at(unsigned i) const { return fields_[i]; }
  void SetNull(unsigned i) { fields_[i] = Field(); }
  void SetInteger(unsigned i, int32_t v);
  void SetText(unsigned i, std::string utf8);  // empty text is null
  void SetStream(unsigned i, std::shared_ptr<StreamSource> s);
  void ClearAll();

  // Set by MsiViewFetch: which view the row came from and the row's stored
  // values then, so that Modify can find the row again.
  const void* origin_view = nullptr;
  std::vector<uint32_t> origin_row;

 private:
  std::vector<Field> fields_;
};

}  // namespace msi::api
