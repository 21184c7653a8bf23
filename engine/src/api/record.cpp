#include "api/record.h"

namespace msi::api {

Result<StreamBytes> StreamSource::Load() {
  if (bytes) return bytes;
  if (!db) return Status::Error(13, "stream has no source");
  auto loaded = db->ReadStream(where);
  if (!loaded.ok()) return loaded.status();
  bytes = *loaded;
  return bytes;
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
