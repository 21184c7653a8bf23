#include "storage/property_set.h"

#include <cstring>

#include "text.h"

namespace msi {
namespace {

constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr int kCodepageUtf16 = 1200;  // text stored as UTF-16LE

// FMTID_SummaryInformation {F29F85E0-4FF9-1068-AB91-08002B27B3D9}, as stored.
constexpr uint8_t kFmtidSummary[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                       0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr size_t kHeaderSize = 28;          // byte order .. property set count
constexpr size_t kSetEntrySize = 20;        // FMTID + offset
constexpr size_t kSectionHeaderSize = 8;    // size + property count

Status Damaged(const std::string& what) {
  return Status::Error(kErrorInvalidData, "Damaged summary information: " + what);
}

uint16_t Get16(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
uint32_t Get32(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
         (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string TextFromBytes(std::span<const uint8_t> bytes, int codepage,
                          CodepageConverter& converter) {
  if (codepage == kCodepageUtf16) {
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      const auto u = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
      if (u == 0) break;
      units.push_back(u);
    }
    return Utf16ToUtf8(units);
  }
  size_t len = 0;
  while (len < bytes.size() && bytes[len] != 0) ++len;
  return converter.ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), len));
}

// The stored characters with their terminator, or nullopt when the codepage
// has no form for one of them.
std::optional<std::string> TextToBytes(const std::string& utf8, int codepage,
                                       CodepageConverter& converter) {
  if (codepage == kCodepageUtf16) {
    std::string out;
    for (char16_t u : Utf8ToUtf16(utf8)) {
      out.push_back(static_cast<char>(u & 0xFF));
      out.push_back(static_cast<char>(u >> 8));
    }
    out.append(2, '\0');
    return out;
  }
  auto bytes = converter.FromUtf8(utf8);
  if (!bytes) return std::nullopt;
  bytes->push_back('\0');
  return bytes;
}

Result<PropertyValue> DecodeValue(std::span<const uint8_t> section, size_t at, int codepage,
                                  CodepageConverter& converter) {
  auto need = [&](size_t n) { return at <= section.size() && section.size() - at >= n; };
  if (!need(4)) return Damaged("value beyond its section");
  const uint16_t type = Get16(section, at);
  at += 4;  // type and padding
  switch (type) {
    case kVtEmpty:
      return PropertyValue{};
    case kVtI2:
      if (!need(2)) return Damaged("value beyond its section");
      return PropertyValue::I2(static_cast<int16_t>(Get16(section, at)));
    case kVtI4:
      if (!need(4)) return Damaged("value beyond its section");
      return PropertyValue::I4(static_cast<int32_t>(Get32(section, at)));
    case kVtFileTime:
      if (!need(8)) return Damaged("value beyond its section");
      return PropertyValue::FileTime(Get32(section, at) |
                                     (static_cast<uint64_t>(Get32(section, at + 4)) << 32));
    case kVtLpstr: {
      if (!need(4)) return Damaged("value beyond its section");
      const uint32_t size = Get32(section, at);
      at += 4;
      if (!need(size)) return Damaged("text longer than its section");
      return PropertyValue::Text(TextFromBytes(section.subspan(at, size), codepage, converter));
    }
    default:
      return Damaged("value type " + std::to_string(type) + " is not supported");
  }
}

}  // namespace

int PropertySet::Codepage() const {
  auto it = values.find(kPidCodepage);
  if (it == values.end() || it->second.kind != PropertyValue::Kind::I2) return 1252;
  return static_cast<uint16_t>(it->second.integer);
}

Result<PropertySet> DecodePropertySet(std::span<const uint8_t> stream) {
  if (stream.size() < kHeaderSize + kSetEntrySize) return Damaged("stream too short");
  if (Get16(stream, 0) != 0xFFFE) return Damaged("wrong byte order mark");
  const uint32_t sets = Get32(stream, 24);
  if (sets < 1 || sets > 2) return Damaged("wrong property set count");
  if (std::memcmp(stream.data() + kHeaderSize, kFmtidSummary, 16) != 0) {
    return Damaged("not a summary information property set");
  }
  const uint32_t offset = Get32(stream, kHeaderSize + 16);
  if (offset > stream.size() || stream.size() - offset < kSectionHeaderSize) {
    return Damaged("section beyond the stream");
  }
  const uint32_t section_size = Get32(stream, offset);
  if (section_size < kSectionHeaderSize || section_size > stream.size() - offset) {
    return Damaged("wrong section size");
  }
  const std::span<const uint8_t> section = stream.subspan(offset, section_size);
  const uint32_t count = Get32(section, 4);
  if (count > (section.size() - kSectionHeaderSize) / 8) return Damaged("wrong property count");

  // The codepage comes first whatever its place: every text depends on it.
  PropertySet set;
  std::vector<std::pair<uint32_t, uint32_t>> entries;  // id, offset
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = kSectionHeaderSize + 8 * static_cast<size_t>(i);
    entries.emplace_back(Get32(section, at), Get32(section, at + 4));
  }
  int codepage = 1252;
  for (const auto& [id, value_offset] : entries) {
    if (id != kPidCodepage) continue;
    CodepageConverter unused(codepage);
    auto value = DecodeValue(section, value_offset, codepage, unused);
    if (!value.ok()) return value.status();
    if (value->kind != PropertyValue::Kind::I2) return Damaged("codepage is not a 2-byte integer");
    codepage = static_cast<uint16_t>(value->integer);
  }
  CodepageConverter converter(codepage);
  for (const auto& [id, value_offset] : entries) {
    auto value = DecodeValue(section, value_offset, codepage, converter);
    if (!value.ok()) return value.status();
    if (!set.values.emplace(id, std::move(*value)).second) {
      return Damaged("property " + std::to_string(id) + " appears twice");
    }
  }
  return set;
}

Result<std::vector<uint8_t>> EncodePropertySet(const PropertySet& set) {
  const int codepage = set.Codepage();
  CodepageConverter converter(codepage);
  std::vector<uint8_t> out;
  Put16(out, 0xFFFE);      // byte order
  Put16(out, 0);           // format version
  Put32(out, 0x00020006);  // originating system
  out.insert(out.end(), 16, 0);  // class id
  Put32(out, 1);
  out.insert(out.end(), kFmtidSummary, kFmtidSummary + 16);
  Put32(out, static_cast<uint32_t>(kHeaderSize + kSetEntrySize));
  const size_t section = out.size();
  Put32(out, 0);  // section size, known at the end
  Put32(out, static_cast<uint32_t>(set.values.size()));
  const size_t table = out.size();
  out.insert(out.end(), set.values.size() * 8, 0);
  size_t index = 0;
  for (const auto& [id, value] : set.values) {
    Set32(out, table + 8 * index, id);
    Set32(out, table + 8 * index + 4, static_cast<uint32_t>(out.size() - section));
    ++index;
    switch (value.kind) {
      case PropertyValue::Kind::Empty:
        Put32(out, kVtEmpty);
        break;
      case PropertyValue::Kind::I2:
        Put32(out, kVtI2);
        Put16(out, static_cast<uint16_t>(value.integer));
        Put16(out, 0);
        break;
      case PropertyValue::Kind::I4:
        Put32(out, kVtI4);
        Put32(out, static_cast<uint32_t>(value.integer));
        break;
      case PropertyValue::Kind::FileTime:
        Put32(out, kVtFileTime);
        Put32(out, static_cast<uint32_t>(value.filetime));
        Put32(out, static_cast<uint32_t>(value.filetime >> 32));
        break;
      case PropertyValue::Kind::Text: {
        auto bytes = TextToBytes(value.text, codepage, converter);
        if (!bytes) {
          return Status::Error(kErrorInvalidParameter,
                               "Summary property " + std::to_string(id) +
                                   " has characters codepage " + std::to_string(codepage) +
                                   " cannot hold");
        }
        Put32(out, kVtLpstr);
        Put32(out, static_cast<uint32_t>(bytes->size()));
        out.insert(out.end(), bytes->begin(), bytes->end());
        while (out.size() % 4 != 0) out.push_back(0);
        break;
      }
    }
  }
  Set32(out, section, static_cast<uint32_t>(out.size() - section));
  return out;
}

}  // namespace msi
