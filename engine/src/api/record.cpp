#include "api/record.h"

#include <algorithm>
#include <cstring>

namespace msi::api {

Result<StreamBytes> StreamSource::Load() {
  if (bytes) return bytes;
  if (!db) return Status::Error(13, "stream has no source");
  auto loaded = db->ReadStream(where);
  if (!loaded.ok()) return loaded.status();
  bytes = *loaded;
  return bytes;
}

Result<size_t> StreamSource::ReadAt(uint64_t offset, uint8_t* out, size_t n) {
  if (!bytes && db && !pieces_looked_up_) {
    auto pieces = db->StreamPieces(where);
    if (!pieces.ok()) return pieces.status();
    pieces_ = *pieces;
    pieces_looked_up_ = true;
  }
  if (!bytes && pieces_) return pieces_->Read(offset, out, n);
  auto loaded = Load();
  if (!loaded.ok()) return loaded.status();
  const std::vector<uint8_t>& data = **loaded;
  if (offset >= data.size()) return size_t{0};
  const size_t take = static_cast<size_t>(std::min<uint64_t>(n, data.size() - offset));
  if (take > 0) std::memcpy(out, data.data() + offset, take);
  return take;
}

void Record::SetInteger(unsigned i, int32_t v) {
  fields_[i] = Field();
  fields_[i].kind = Field::Kind::kInteger;
  fields_[i].integer = v;
}

void Record::SetText(unsigned i, std::string utf8) {
  fields_[i] = Field();
  if (utf8.empty()) return;
  fields_[i].kind = Field::Kind::kString;
  fields_[i].text = std::move(utf8);
}

void Record::SetStream(unsigned i, std::shared_ptr<StreamSource> s) {
  fields_[i] = Field();
  fields_[i].kind = Field::Kind::kStream;
  fields_[i].stream = std::move(s);
}

void Record::ClearAll() {
  for (Field& f : fields_) f = Field();
}

}  // namespace msi::api
