#include "transform_support.h"

#include <algorithm>
#include <sstream>

namespace tf {

namespace {

std::string SortedBody(const std::string& select) {
  const size_t header_end = select.find('\n');
  if (header_end == std::string::npos) return select;
  std::vector<std::string> lines;
  std::istringstream in(select.substr(header_end + 1));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  std::string out = select.substr(0, header_end + 1);
  for (const auto& l : lines) out += l + "\n";
  return out;
}

}  // namespace

std::string SortedSelect(MSIHANDLE db, const std::string& sql) { return SortedBody(Select(db, sql)); }

std::string Contents(const fs::path& package) {
  Handle db;
  if (Open(package, MSIDBOPEN_READONLY_A, db) != ERROR_SUCCESS) return "cannot open";
  std::string out;
  for (const auto& t : TableNames(db)) {
    out += "== " + t + "\n" + SortedBody(Select(db, "SELECT * FROM `" + t + "`"));
  }
  for (const auto& [name, bytes] : EngineStreams(db)) {
    // Transforms do not carry the summary information.
    if (name == "\005SummaryInformation") continue;
    out += "stream " + name + " " + std::to_string(bytes.size()) + " " +
           std::to_string(std::hash<std::string>()(std::string(bytes.begin(), bytes.end()))) + "\n";
  }
  return out;
}

UINT EngineApply(const fs::path& package, const fs::path& transform, const fs::path& out,
                 int conditions) {
  Handle db;
  UINT r = OpenTo(package, out, db);
  if (r != ERROR_SUCCESS) return r;
  r = MsiDatabaseApplyTransformA(db, transform.c_str(), conditions);
  if (r != ERROR_SUCCESS) return r;
  return MsiDatabaseCommit(db);
}

int OracleApply(const fs::path& package, const fs::path& transform, const fs::path& out) {
  if (LibmsiOracle().empty()) return -1;
  RunResult run = Oracle({"write", package.string(), out.string(), "transform:" + transform.string()});
  if (run.exit_code != 0) return -1;
  // "N\ncommit M\n"
  const int applied = std::atoi(run.out.c_str());
  return applied != 0 ? applied : std::atoi(run.out.substr(run.out.find("commit ") + 7).c_str());
}

UINT Generate(const fs::path& changed, const fs::path& reference, const fs::path& transform) {
  Handle newer, old;
  UINT r = Open(changed, MSIDBOPEN_READONLY_A, newer);
  if (r == ERROR_SUCCESS) r = Open(reference, MSIDBOPEN_READONLY_A, old);
  if (r != ERROR_SUCCESS) return r;
  return MsiDatabaseGenerateTransformA(newer, old, transform.c_str(), 0, 0);
}

std::string View(const fs::path& package, const fs::path& transform, UINT* result) {
  Handle db;
  UINT r = Open(package, MSIDBOPEN_READONLY_A, db);
  if (r == ERROR_SUCCESS) r = MsiDatabaseApplyTransformA(db, transform.c_str(), MSITRANSFORM_ERROR_VIEWTRANSFORM);
  if (result != nullptr) *result = r;
  if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
  std::string rows = SortedBody(Select(db, "SELECT * FROM `_TransformView`"));
  std::string out;
  for (char c : rows.substr(rows.find('\n') + 1)) {
    if (c == '\t') out += " | ";
    else out.push_back(c);
  }
  return out;
}

}  // namespace tf
