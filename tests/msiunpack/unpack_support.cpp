#include "unpack_support.h"

#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <ctime>
#include <sstream>
#include <stdexcept>

#include "msiquery.h"

namespace unpack_test {
namespace {

void AppendLE(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::string Quoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  ts::WriteText(path, bytes);
}

RunResult RunUnpack(const std::vector<std::string>& args, const fs::path& cwd, bool terminal) {
  std::vector<std::string> argv{UNPACK_PROGRAM};
  argv.insert(argv.end(), args.begin(), args.end());
  if (terminal) {
    std::string command = "stty cols 100 rows 30; exec";
    for (const std::string& word : argv) command += " " + Quoted(word);
    argv = {"script", "--quiet", "--return", "--flush", "--command", command, "/dev/null"};
  }
  ts::RunOptions options;
  options.cwd = cwd;
  options.env = {"TZ=UTC"};
  options.limit = std::chrono::seconds(120);
  return ts::Run(argv, options);
}

void MakePackage(const fs::path& package, const PackageRows& rows) {
  // Only the columns msiunpack reads (and the media's last sequence).
  std::map<std::string, std::string> tables = {
      {"Directory.idt", "Directory\tDirectory_Parent\tDefaultDir\r\ns72\tS72\tl255\r\nDirectory\tDirectory\r\n"},
      {"Component.idt", "Component\tDirectory_\r\ns72\ts72\r\nComponent\tComponent\r\n"},
      {"File.idt", "File\tComponent_\tFileName\tFileSize\tAttributes\tSequence\r\n"
                   "s72\ts72\tl255\ti4\tI2\ti2\r\nFile\tFile\r\n"},
      {"Media.idt", "DiskId\tLastSequence\tCabinet\r\ni2\ti2\tS255\r\nMedia\tDiskId\r\n"}};
  for (const auto& [table, lines] : {std::pair{"Directory.idt", &rows.directories},
                                     {"Component.idt", &rows.components},
                                     {"File.idt", &rows.files},
                                     {"Media.idt", &rows.media}})
    for (const std::string& line : *lines) tables[table] += line + "\r\n";
  TempDir idt;
  if (!rows.streams.empty()) {
    std::string& streams = tables["_Streams.idt"] = "Name\tData\r\ns62\tV0\r\n_Streams\tName\r\n";
    int n = 0;
    for (const auto& [name, bytes] : rows.streams) {
      const std::string data = "stream" + std::to_string(++n);
      WriteBytes(idt / "_Streams" / data, bytes);
      streams += name + "\t" + data + "\r\n";
    }
  }
  fs::remove(package);
  ts::Handle db, summary;
  if (ts::Open(package, MSIDBOPEN_CREATE_A, db) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create " + package.string());
  for (const auto& [name, text] : tables) {
    WriteBytes(idt / name, text);
    if (MsiDatabaseImportA(db, idt.path().c_str(), name.c_str()) != ERROR_SUCCESS)
      throw std::runtime_error("cannot import " + name);
  }
  if (rows.word_count >= 0 &&
      (MsiGetSummaryInformationA(db, nullptr, 1, summary.out()) != ERROR_SUCCESS ||
       MsiSummaryInfoSetPropertyA(summary, PID_WORDCOUNT, VT_I4, rows.word_count, nullptr, nullptr) != 0 ||
       MsiSummaryInfoPersist(summary) != ERROR_SUCCESS))
    throw std::runtime_error("cannot set the word count");
  if (MsiDatabaseCommit(db) != ERROR_SUCCESS) throw std::runtime_error("cannot commit " + package.string());
}

std::string GcabCabinet(const std::map<std::string, std::string>& files, long long modified) {
  TempDir dir;
  std::vector<std::string> args{UNPACK_GCAB, "-c", "-n", "-z", (dir / "out.cab").string()};
  for (const auto& [name, bytes] : files) {
    WriteBytes(dir / name, bytes);
    utimbuf times{static_cast<time_t>(modified), static_cast<time_t>(modified)};
    ::utime((dir / name).c_str(), &times);
    args.push_back((dir / name).string());
  }
  const RunResult run = ts::Run(args);
  if (run.exit_code != 0) throw std::runtime_error("gcab failed: " + run.Describe());
  return ReadBytes(dir / "out.cab");
}

std::vector<std::string> StoredCabinetSet(const std::vector<std::pair<std::string, std::string>>& files,
                                          size_t split, const std::string& first_name,
                                          const std::string& second_name) {
  constexpr uint16_t kContinuedFromPrevious = 0xFFFD, kContinuedToNext = 0xFFFE;
  constexpr uint16_t kDate = ((2001 - 1980) << 9) | (2 << 5) | 3, kTime = (4 << 11) | (5 << 5) | (6 / 2);
  // Folder 0 runs to the end of the file that holds byte `split` and is cut
  // there between the cabinets; the files after it make a second folder in
  // the second cabinet, as cabinet makers close a folder at a set boundary.
  std::string spanned, rest, lists[2];
  uint16_t counts[2] = {0, 0};
  const auto list = [&](int part, const std::string& name, size_t size, size_t offset, uint16_t folder) {
    for (auto [value, width] : {std::pair<uint64_t, int>{size, 4}, {offset, 4}, {folder, 2}, {kDate, 2},
                                {kTime, 2}, {0x20, 2}})
      AppendLE(lists[part], value, width);
    lists[part] += name + '\0';
    ++counts[part];
  };
  for (const auto& [name, bytes] : files) {
    if (spanned.size() < split) {
      const bool crosses = spanned.size() + bytes.size() > split;
      list(0, name, bytes.size(), spanned.size(), crosses ? kContinuedToNext : 0);
      if (crosses) list(1, name, bytes.size(), spanned.size(), kContinuedFromPrevious);
      spanned += bytes;
    } else {
      list(1, name, bytes.size(), rest.size(), 1);
      rest += bytes;
    }
  }
  if (split == 0 || split >= spanned.size() || spanned.size() > 32768 || rest.size() > 32768)
    throw std::runtime_error("bad split");
  std::vector<std::string> cabinets;
  for (int part = 0; part < 2; ++part) {
    // Data blocks (bytes, their size uncompressed): the split block's first
    // piece (0: continued in the next cabinet); its second piece, then the
    // second folder.
    std::vector<std::pair<std::string, size_t>> blocks = {{spanned.substr(0, split), 0}};
    if (part == 1) blocks = {{spanned.substr(split), spanned.size()}};
    if (part == 1 && !rest.empty()) blocks.emplace_back(rest, rest.size());
    const std::string names = part == 0 ? second_name + '\0' + "disk2" + '\0' : first_name + '\0' + "disk1" + '\0';
    const size_t files_at = 36 + names.size() + 8 * blocks.size();
    const size_t data_at = files_at + lists[part].size();
    std::string folders, data;
    for (const auto& [bytes, uncompressed] : blocks) {
      AppendLE(folders, data_at + data.size(), 4);
      AppendLE(folders, 1, 2);  // one data block, stored
      AppendLE(folders, 0, 2);
      AppendLE(data, 0, 4);  // no checksum
      AppendLE(data, bytes.size(), 2);
      AppendLE(data, uncompressed, 2);
      data += bytes;
    }
    // The header: sizes and offsets, version 1.3, counts, a previous
    // (1) or next (2) cabinet, the set's id and this cabinet's place in it.
    std::string cab = "MSCF";
    for (auto [value, width] : {std::pair<uint64_t, int>{0, 4}, {data_at + data.size(), 4}, {0, 4},
                                {files_at, 4}, {0, 4}, {0x0103, 2}, {blocks.size(), 2}, {counts[part], 2},
                                {part == 0 ? 2 : 1, 2}, {0x1234, 2}, {part, 2}})
      AppendLE(cab, value, width);
    cabinets.push_back(cab + names + folders + lists[part] + data);
  }
  return cabinets;
}

std::vector<std::string> TreeListing(const fs::path& root) {
  std::vector<std::string> lines;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string path = fs::relative(it->path(), root).generic_string();
    if (it->is_symlink()) {
      lines.push_back(path + " -> " + fs::read_symlink(it->path()).string());
    } else if (it->is_directory()) {
      lines.push_back(path + "/");
    } else {
      struct stat info {};
      ::stat(it->path().c_str(), &info);
      std::tm utc{};
      ::gmtime_r(&info.st_mtime, &utc);
      char when[32];
      std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &utc);
      lines.push_back(path + "\t" + std::to_string(info.st_size) + "\t" + when);
    }
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace unpack_test
