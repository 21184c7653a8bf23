#include "summary_support.h"

#include "cfb/compound_file_reader.h"
#include "stream_name.h"
#include "storage/stream_replace.h"
#include "text.h"

namespace summary_test {
namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

void CollectEntries(const msi::cfb::CompoundFileReader& file, uint32_t storage,
                    const std::string& prefix, std::map<std::string, std::vector<uint8_t>>* out) {
  for (uint32_t id : file.Children(storage)) {
    const auto& e = file.entry(id);
    const std::string name = prefix + msi::Utf16ToUtf8(e.name);
    if (e.type == msi::cfb::EntryType::kStorage) {
      (*out)[name] = {'<', 's', '>'};
      CollectEntries(file, id, name + "/", out);
    } else if (e.type == msi::cfb::EntryType::kStream && name != "\005SummaryInformation") {
      auto bytes = file.ReadStream(id);
      (*out)[name] = bytes.ok() ? *bytes : std::vector<uint8_t>{'e', 'r', 'r'};
    }
  }
}

}  // namespace

std::string EngineProperties(MSIHANDLE summary) {
  std::string out;
  for (UINT pid = 1; pid <= 19; ++pid) {
    UINT type = 0;
    INT value = 0;
    FILETIME ft{};
    char buf[4096];
    DWORD size = sizeof buf;
    const UINT r = MsiSummaryInfoGetPropertyA(summary, pid, &type, &value, &ft, buf, &size);
    if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
    const std::string head = std::to_string(pid) + "\t";
    switch (type) {
      case VT_I2:
      case VT_I4: out += head + "I\t" + std::to_string(value) + "\n"; break;
      case VT_LPSTR: out += head + "S\t" + Escaped(std::string(buf, size)) + "\n"; break;
      case VT_FILETIME:
        out += head + "F\t" +
               std::to_string(ft.dwLowDateTime | (uint64_t{ft.dwHighDateTime} << 32)) + "\n";
        break;
      default: break;
    }
  }
  return out;
}

std::string EngineProperties(const fs::path& package) {
  Handle si;
  const UINT r = MsiGetSummaryInformationA(0, package.c_str(), 0, si.out());
  if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
  return EngineProperties(si);
}

std::string OracleProperties(const fs::path& package) {
  ts::RunResult r = ts::Oracle({"summary", package.string()});
  if (r.exit_code != 0) return "exit " + std::to_string(r.exit_code) + ": " + r.err;
  return r.out;
}

void MakePackage(const fs::path& path) {
  Handle db;
  ASSERT_EQ(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_CREATE_A, db.out()), ERROR_SUCCESS);
  ASSERT_EQ(ts::Exec(db, "CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, "
                         "`Value` CHAR(0) NOT NULL LOCALIZABLE PRIMARY KEY `Property`)"),
            ERROR_SUCCESS);
  ASSERT_EQ(ts::Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('A', 'x')"),
            ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
}

void PutSummaryStream(const fs::path& package, const std::vector<uint8_t>& bytes) {
  const msi::Status st =
      msi::ReplaceRootStreamInFile(package.string(), u"\005SummaryInformation", bytes);
  ASSERT_TRUE(st.ok()) << st.message();
}

std::map<std::string, std::vector<uint8_t>> OtherEntries(const fs::path& package) {
  std::map<std::string, std::vector<uint8_t>> out;
  auto image = msi::cfb::FileImage::Map(package.string());
  if (!image.ok()) return out;
  auto file = msi::cfb::CompoundFileReader::Open(*image);
  if (!file.ok()) return out;
  CollectEntries(**file, msi::cfb::CompoundFileReader::kRootId, "", &out);
  return out;
}

std::vector<uint8_t> SummaryStream(const fs::path& package) {
  auto image = msi::cfb::FileImage::Map(package.string());
  if (!image.ok()) return {};
  auto file = msi::cfb::CompoundFileReader::Open(*image);
  if (!file.ok()) return {};
  auto id = (*file)->FindChild(msi::cfb::CompoundFileReader::kRootId, u"\005SummaryInformation");
  if (!id) return {};
  auto bytes = (*file)->ReadStream(*id);
  return bytes.ok() ? *bytes : std::vector<uint8_t>{};
}

FILETIME MakeFileTime(uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace summary_test
