// ICE39: the summary information's template, revision number and word
// count are well formed, and agree with the File and MsiPackageCertificate
// tables. The installer reads every property in its one stored type, so
// the counts and dates are well formed once the stream can be read.
#include <cctype>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr int kWordCountShortNames = 0x1;
constexpr int kWordCountCompressed = 0x2;
constexpr int kWordCountAdminImage = 0x4;
constexpr int kWordCountNoElevation = 0x8;
constexpr int kFileCompressed = 0x4000;

class Summary {
 public:
  explicit Summary(MSIHANDLE db) { error = MsiGetSummaryInformationA(db, nullptr, 0, &handle_); }
  ~Summary() {
    if (handle_) MsiCloseHandle(handle_);
  }
  Summary(const Summary&) = delete;
  Summary& operator=(const Summary&) = delete;

  std::optional<std::string> Text(UINT pid) {
    UINT type = 0;
    DWORD size = 0;
    char probe[1] = {0};
    UINT r = MsiSummaryInfoGetPropertyA(handle_, pid, &type, nullptr, nullptr, probe, &size);
    if (type != VT_LPSTR || (r != ERROR_SUCCESS && r != ERROR_MORE_DATA)) return std::nullopt;
    std::string text(size + 1, '\0');
    size = static_cast<DWORD>(text.size());
    if (MsiSummaryInfoGetPropertyA(handle_, pid, &type, nullptr, nullptr, text.data(), &size) !=
        ERROR_SUCCESS)
      return std::nullopt;
    text.resize(size);
    return text;
  }
  std::optional<int> Integer(UINT pid) {
    UINT type = 0;
    INT value = 0;
    if (MsiSummaryInfoGetPropertyA(handle_, pid, &type, &value, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS ||
        (type != VT_I4 && type != VT_I2))
      return std::nullopt;
    return value;
  }

  UINT error = ERROR_SUCCESS;

 private:
  MSIHANDLE handle_ = 0;
};

bool IsDecimalUpTo65535(std::string_view s) {
  if (s.empty() || s.size() > 5) return false;
  long n = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    n = n * 10 + (c - '0');
  }
  return n <= 65535;
}

// Items of a comma-separated list, each checked by `valid`; an empty list
// passes when `allow_empty`.
template <typename F>
bool EachItem(std::string_view list, bool allow_empty, F valid) {
  if (list.empty()) return allow_empty;
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(',', start);
    if (!valid(list.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                  : comma - start)))
      return false;
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// "Platform;Languages": one platform the installer knows (none means
// Intel; Alpha is no longer supported, and a package cannot name two),
// then decimal language IDs separated by commas (none: neutral).
bool IsTemplate(const std::string& t) {
  const size_t semi = t.find(';');
  if (semi == std::string::npos || t.find(';', semi + 1) != std::string::npos) return false;
  const std::string_view platform = Trim(std::string_view(t).substr(0, semi));
  const std::string_view languages = std::string_view(t).substr(semi + 1);
  if (!(platform.empty() || platform == "Intel" || platform == "Intel64" || platform == "x64" ||
        platform == "Arm" || platform == "Arm64"))
    return false;
  return EachItem(languages, true,
                  [](std::string_view l) { return IsDecimalUpTo65535(Trim(l)); });
}

bool IsGuid(const std::string& s) {
  if (s.size() != 38 || s.front() != '{' || s.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const char c = s[i];
    if (i == 9 || i == 14 || i == 19 || i == 24 ? c != '-'
                                                : !std::isxdigit(static_cast<unsigned char>(c)))
      return false;
  }
  return true;
}

void Run(Context& ctx) {
  // Only packages and merge modules: a patch's summary (a file without a
  // Property table) lists product codes and transforms in these fields.
  if (!ctx.IsMergeModule() && !ctx.package().HasTable("Property")) return;
  Summary summary(ctx.package().handle());
  if (summary.error != ERROR_SUCCESS) {
    ctx.Fail("The summary information cannot be read: " + DescribeResult(summary.error));
    return;
  }
  const std::string kTable = "_SummaryInformation";
  if (const auto t = summary.Text(PID_TEMPLATE); t && !IsTemplate(*t))
    ctx.ReportAt(Severity::Error, kTable, "Value", {std::to_string(PID_TEMPLATE)},
                 "Invalid Template summary property: '" + *t +
                     "'. It must be one platform, a semicolon and decimal language IDs separated "
                     "by commas (Intel;1033).");
  if (const auto r = summary.Text(PID_REVNUMBER); r && !IsGuid(*r))
    ctx.ReportAt(Severity::Error, kTable, "Value", {std::to_string(PID_REVNUMBER)},
                 "Invalid Revision Number summary property: '" + *r +
                     "'. The package code must be a GUID.");
  const int words = summary.Integer(PID_WORDCOUNT).value_or(0);
  constexpr int kKnown =
      kWordCountShortNames | kWordCountCompressed | kWordCountAdminImage | kWordCountNoElevation;
  if (words & ~kKnown)
    ctx.ReportAt(Severity::Error, kTable, "Value", {std::to_string(PID_WORDCOUNT)},
                 "Invalid Word Count summary property: " + std::to_string(words) +
                     ". Only the bits 1, 2, 4 and 8 are defined.");

  if (words & kWordCountCompressed)
    if (const Table* file = ctx.Read("File"))
      for (const Row& row : file->rows)
        if (file->Integer(row, "Attributes").value_or(0) & kFileCompressed)
          ctx.Report(Severity::Warning, *file, "Attributes", row,
                     "File " + file->Text(row, "File") +
                         " is marked compressed, but the Word Count summary property already marks "
                         "the whole source compressed.");
  if (words & kWordCountNoElevation)
    if (const Table* certificate = ctx.Read("MsiPackageCertificate"); certificate && !certificate->rows.empty())
      ctx.ReportAt(Severity::Warning, "MsiPackageCertificate", "", {},
                   "The Word Count summary property marks the package UAC compliant, but the "
                   "MsiPackageCertificate table is not empty.");
}

const Registration kICE39("ICE39", Run);

}  // namespace
}  // namespace msivalidate
