#include "archive/summary_archive.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "archive/idt_archive.h"
#include "storage/property_set.h"
#include "text.h"

namespace msi {
namespace {

constexpr const char* kStreamName = "\005SummaryInformation";
constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kDaysFrom1601To1970 = 134774;

Status Failed(const std::string& what) { return Status::Error(1627, what); }

// The codepage of the file's text: the summary's own, but text a summary
// keeps as UTF-16 (1200) cannot stand in lines of bytes, so it goes as
// UTF-8.
int ArchiveCodepage(const PropertySet& set) { return set.Codepage() == 1200 ? 65001 : set.Codepage(); }

// The stored type of each property the archive may carry; Empty for the
// dictionary, the thumbnail and numbers beyond 19.
PropertyValue::Kind KindOf(long pid) {
  if (pid == kPidCodepage) return PropertyValue::Kind::I2;
  if ((pid >= 2 && pid <= 9) || pid == 18) return PropertyValue::Kind::Text;
  if (pid >= 10 && pid <= 13) return PropertyValue::Kind::FileTime;
  if ((pid >= 14 && pid <= 16) || pid == 19) return PropertyValue::Kind::I4;
  return PropertyValue::Kind::Empty;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

// Whole seconds: the archive's form has no fraction.
std::string FileTimeText(uint64_t ticks) {
  const uint64_t seconds = ticks / kTicksPerSecond;
  const auto days = static_cast<int64_t>(seconds / 86400);
  const uint64_t in_day = seconds % 86400;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days - kDaysFrom1601To1970, &y, &m, &d);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld/%02u/%02u %02u:%02u:%02u", static_cast<long long>(y), m, d,
                static_cast<unsigned>(in_day / 3600), static_cast<unsigned>(in_day / 60 % 60),
                static_cast<unsigned>(in_day % 60));
  return text;
}

// yyyy/mm/dd hh:mm:ss, or the date alone (midnight).
std::optional<uint64_t> ParseFileTime(const std::string& s) {
  int y = 0, n = 0, m = 0;
  unsigned mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  const int got = std::sscanf(s.c_str(), "%4d/%2u/%2u%n %2u:%2u:%2u%n", &y, &mo, &d, &n, &h, &mi, &sec, &m);
  const size_t end = static_cast<size_t>(got == 6 ? m : n);
  if ((got != 3 && got != 6) || end != s.size() || y < 1601 || y > 9999 || mo < 1 || mo > 12 ||
      d < 1 || h > 23 || mi > 59 || sec > 59) {
    return std::nullopt;
  }
  static constexpr unsigned kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kMonthDays[mo - 1] || (mo == 2 && d == 29 && !leap)) return std::nullopt;
  const int64_t days = DaysFromCivil(y, mo, d) + kDaysFrom1601To1970;
  return static_cast<uint64_t>((days * 86400 + h * 3600 + mi * 60 + sec) * kTicksPerSecond);
}

std::optional<long> ParseNumber(const std::string& s, long min, long max) {
  if (s.empty() || s.size() > 11) return std::nullopt;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || v < min || v > max) return std::nullopt;
  return v;
}

Result<PropertySet> CurrentProperties(Database& db) {
  auto where = db.FindPlainStream(kStreamName);
  if (!where) return PropertySet{};
  auto bytes = db.ReadStream(*where);
  if (!bytes.ok()) return bytes.status();
  return DecodePropertySet(**bytes);
}

}  // namespace

Status ExportSummaryIdt(Database& db, const std::string& path) {
  auto set = CurrentProperties(db);
  if (!set.ok()) return set.status();
  // Text goes out in the summary's own codepage, the one it is stored in.
  CodepageConverter converter(ArchiveCodepage(*set));
  std::string body = "PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n";
  for (const auto& [pid, value] : set->values) {
    std::string text;
    switch (value.kind) {
      case PropertyValue::Kind::Empty: continue;
      case PropertyValue::Kind::I2:
        // A codepage such as 65001 is stored in a signed 16 bits.
        text = std::to_string(pid == kPidCodepage ? static_cast<uint16_t>(value.integer) : value.integer);
        break;
      case PropertyValue::Kind::I4: text = std::to_string(value.integer); break;
      case PropertyValue::Kind::FileTime: text = FileTimeText(value.filetime); break;
      case PropertyValue::Kind::Text: {
        auto bytes = converter.FromUtf8(value.text);
        if (!bytes) {
          return Failed("summary property " + std::to_string(pid) + " holds text its codepage " +
                        std::to_string(set->Codepage()) + " cannot hold");
        }
        text = ArchiveEscape(*bytes);
        break;
      }
    }
    body += std::to_string(pid) + "\t" + text + "\r\n";
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return Status::Error(161, "cannot write " + path);
  out << body;
  out.flush();
  return out ? Status() : Status::Error(29, "cannot write " + path);
}

Status ImportSummaryIdt(Database& db, const std::vector<std::string>& lines, const std::string& file) {
  auto set = CurrentProperties(db);
  if (!set.ok()) return set.status();
  struct Row {
    long pid;
    std::string value;
    size_t line;
  };
  std::vector<Row> rows;
  for (size_t l = 0; l < lines.size(); ++l) {
    if (lines[l].empty()) continue;
    const size_t tab = lines[l].find('\t');
    const std::string id = lines[l].substr(0, tab);
    auto pid = ParseNumber(id, 0, 0x7FFF);
    if (!pid || KindOf(*pid) == PropertyValue::Kind::Empty) {
      return Failed(file + " line " + std::to_string(l + 4) + ": no summary property " + id);
    }
    rows.push_back({*pid, tab == std::string::npos ? std::string() : lines[l].substr(tab + 1), l + 4});
  }
  // A codepage row decides how the file's text reads, wherever it stands.
  for (const Row& row : rows) {
    if (row.pid != kPidCodepage) continue;
    auto cp = ParseNumber(row.value, -32768, 65535);
    if (!cp) return Failed(file + " line " + std::to_string(row.line) + ": no codepage: " + row.value);
    set->values[kPidCodepage] = PropertyValue::I2(static_cast<int16_t>(*cp));
  }
  CodepageConverter converter(ArchiveCodepage(*set));
  for (const Row& row : rows) {
    const std::string where = file + " line " + std::to_string(row.line) + ": ";
    switch (KindOf(row.pid)) {
      case PropertyValue::Kind::Text:
        set->values[static_cast<uint32_t>(row.pid)] =
            PropertyValue::Text(converter.ToUtf8(ArchiveUnescape(row.value)));
        break;
      case PropertyValue::Kind::I4: {
        auto v = ParseNumber(row.value, INT32_MIN, INT32_MAX);
        if (!v) return Failed(where + "not a number: " + row.value);
        set->values[static_cast<uint32_t>(row.pid)] = PropertyValue::I4(static_cast<int32_t>(*v));
        break;
      }
      case PropertyValue::Kind::FileTime: {
        auto v = ParseFileTime(row.value);
        if (!v) return Failed(where + "not a time of the form yyyy/mm/dd hh:mm:ss: " + row.value);
        set->values[static_cast<uint32_t>(row.pid)] = PropertyValue::FileTime(*v);
        break;
      }
      default: break;  // the codepage, set above
    }
  }
  auto bytes = EncodePropertySet(*set);
  if (!bytes.ok()) return Failed(file + ": " + bytes.status().message());
  db.PutStream(kStreamName, std::make_shared<const std::vector<uint8_t>>(std::move(*bytes)));
  return Status();
}

}  // namespace msi
