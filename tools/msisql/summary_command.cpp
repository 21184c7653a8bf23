#include "summary_command.h"

#include <strings.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_support.h"
#include "msiquery.h"

namespace {

using namespace msisql;

struct PropertyName {
  UINT pid;
  const char* name;
};

constexpr PropertyName kNames[] = {
    {PID_CODEPAGE, "Codepage"},       {PID_TITLE, "Title"},
    {PID_SUBJECT, "Subject"},         {PID_AUTHOR, "Author"},
    {PID_KEYWORDS, "Keywords"},       {PID_COMMENTS, "Comments"},
    {PID_TEMPLATE, "Template"},       {PID_LASTAUTHOR, "LastAuthor"},
    {PID_REVNUMBER, "RevisionNumber"}, {PID_EDITTIME, "EditTime"},
    {PID_LASTPRINTED, "LastPrinted"}, {PID_CREATE_DTM, "CreateTime"},
    {PID_LASTSAVE_DTM, "LastSaveTime"}, {PID_PAGECOUNT, "PageCount"},
    {PID_WORDCOUNT, "WordCount"},     {PID_CHARCOUNT, "CharacterCount"},
    {PID_THUMBNAIL, "Thumbnail"},     {PID_APPNAME, "AppName"},
    {PID_SECURITY, "Security"},
};

// The one type each property is set with.
UINT TypeOf(UINT pid) {
  if (pid == PID_CODEPAGE) return VT_I2;
  if (pid >= PID_EDITTIME && pid <= PID_LASTSAVE_DTM) return VT_FILETIME;
  if ((pid >= PID_PAGECOUNT && pid <= PID_CHARCOUNT) || pid == PID_SECURITY) return VT_I4;
  return VT_LPSTR;
}

// FILETIME ticks (100 ns since 1601-01-01) between 1601 and 1970.
constexpr int64_t kUnixEpochTicks = 116444736000000000;
constexpr int64_t kTicksPerSecond = 10000000;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
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

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// 2009-06-01T12:34:56Z, with .fffffff only when there is a fraction.
std::string FormatFileTime(const FILETIME& ft) {
  const uint64_t ticks = ft.dwLowDateTime | (static_cast<uint64_t>(ft.dwHighDateTime) << 32);
  // Ticks beyond INT64_MAX are years past 29000: print them as numbers.
  if (ticks > static_cast<uint64_t>(INT64_MAX)) return std::to_string(ticks);
  const int64_t unix_ticks = static_cast<int64_t>(ticks) - kUnixEpochTicks;
  const int64_t seconds = FloorDiv(unix_ticks, kTicksPerSecond);
  const int64_t fraction = unix_ticks - seconds * kTicksPerSecond;
  const int64_t days = FloorDiv(seconds, 86400);
  const int64_t in_day = seconds - days * 86400;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", static_cast<long long>(y),
                m, d, static_cast<long long>(in_day / 3600),
                static_cast<long long>(in_day / 60 % 60), static_cast<long long>(in_day % 60));
  std::string out = text;
  if (fraction != 0) {
    std::snprintf(text, sizeof text, ".%07lld", static_cast<long long>(fraction));
    out += text;
  }
  return out + "Z";
}

// Reads YYYY-MM-DDTHH:MM:SS[.f...][Z] (a blank may stand for the T).
bool ParseFileTime(const std::string& s, FILETIME* ft) {
  int y = 0, n = 0;
  unsigned mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  char sep = 0;
  if (std::sscanf(s.c_str(), "%4d-%2u-%2u%c%2u:%2u:%2u%n", &y, &mo, &d, &sep, &h, &mi, &sec, &n) != 7 ||
      (sep != 'T' && sep != ' ') || y < 1601 || mo < 1 || mo > 12 || d < 1 || h > 23 ||
      mi > 59 || sec > 59) {
    return false;
  }
  static constexpr unsigned kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kMonthDays[mo - 1] || (mo == 2 && d == 29 && !leap)) return false;
  int64_t fraction = 0;
  size_t i = static_cast<size_t>(n);
  if (i < s.size() && s[i] == '.') {
    int64_t scale = kTicksPerSecond;
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
      scale /= 10;
      fraction += (s[i] - '0') * scale;
    }
  }
  if (i < s.size() && s[i] == 'Z') ++i;
  if (i != s.size()) return false;
  const int64_t seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + sec;
  const uint64_t ticks = static_cast<uint64_t>(seconds * kTicksPerSecond + fraction + kUnixEpochTicks);
  ft->dwLowDateTime = static_cast<DWORD>(ticks);
  ft->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return true;
}

bool ParseInteger(const std::string& s, long min, long max, INT* out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  *out = static_cast<INT>(v);
  return true;
}

UINT PropertyLine(MSIHANDLE si, const PropertyName& p, std::string* line) {
  UINT type = VT_EMPTY;
  INT value = 0;
  FILETIME ft{};
  DWORD len = 0;
  char probe[1] = {0};
  UINT r = MsiSummaryInfoGetPropertyA(si, p.pid, &type, &value, &ft, probe, &len);
  std::string text;
  if (r == ERROR_MORE_DATA) {
    std::vector<char> buf(len + 1);
    DWORD size = len + 1;
    r = MsiSummaryInfoGetPropertyA(si, p.pid, &type, &value, &ft, buf.data(), &size);
    text.assign(buf.data(), size);
  }
  if (r != ERROR_SUCCESS) return r;
  line->clear();
  if (type == VT_EMPTY) return ERROR_SUCCESS;
  *line = std::string(p.name) + "\t";
  switch (type) {
    case VT_I2:
      // The codepage is an unsigned 16-bit number stored in a signed field.
      *line += std::to_string(p.pid == PID_CODEPAGE ? static_cast<uint16_t>(value) : value);
      break;
    case VT_I4: *line += std::to_string(value); break;
    case VT_FILETIME: *line += FormatFileTime(ft); break;
    default: AppendEscaped(*line, text);
  }
  *line += "\n";
  return ERROR_SUCCESS;
}

}  // namespace

int PrintSummary(const char* package) {
  Handle si;
  UINT r = MsiGetSummaryInformationA(0, package, 0, si.out());
  if (r != ERROR_SUCCESS) return Fail(r, "reading the summary information of " + std::string(package));
  std::string out, line;
  for (const PropertyName& p : kNames) {
    r = PropertyLine(si.get(), p, &line);
    if (r != ERROR_SUCCESS) return Fail(r, std::string("reading ") + p.name);
    out += line;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int SetSummary(const char* package, int count, char** assignments) {
  Handle si;
  UINT r = MsiGetSummaryInformationA(0, package, static_cast<UINT>(count), si.out());
  if (r != ERROR_SUCCESS) return Fail(r, "opening the summary information of " + std::string(package));
  // Every assignment is checked and set in memory first; the file is
  // written once at the end, or not at all.
  for (int i = 0; i < count; ++i) {
    const std::string arg = assignments[i];
    const size_t eq = arg.find('=');
    if (eq == std::string::npos) {
      std::fprintf(stderr, "msisql: not NAME=VALUE: %s\n", arg.c_str());
      return 2;
    }
    const std::string name = arg.substr(0, eq), value = arg.substr(eq + 1);
    const PropertyName* p = nullptr;
    for (const PropertyName& candidate : kNames) {
      if (strcasecmp(candidate.name, name.c_str()) == 0) p = &candidate;
    }
    if (p == nullptr) return Fail(ERROR_UNKNOWN_PROPERTY, "setting " + name);
    const UINT type = TypeOf(p->pid);
    INT number = 0;
    FILETIME ft{};
    bool parsed = true;
    if (type == VT_I2) parsed = ParseInteger(value, -32768, 65535, &number);
    if (type == VT_I4) parsed = ParseInteger(value, INT32_MIN, INT32_MAX, &number);
    if (type == VT_FILETIME) parsed = ParseFileTime(value, &ft);
    if (!parsed) return Fail(ERROR_DATATYPE_MISMATCH, "setting " + name + " to " + value);
    r = MsiSummaryInfoSetPropertyA(si.get(), p->pid, type, number, &ft, value.c_str());
    if (r != ERROR_SUCCESS) return Fail(r, "setting " + name + " to " + value);
  }
  r = MsiSummaryInfoPersist(si.get());
  if (r != ERROR_SUCCESS) return Fail(r, "writing " + std::string(package));
  return 0;
}
