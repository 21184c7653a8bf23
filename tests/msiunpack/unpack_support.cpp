#include "unpack_support.h"

#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <random>
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

std::vector<std::string> CabinetSet(const NamedFiles& files, const std::vector<size_t>& cuts,
                                    const std::vector<std::string>& names, const NamedFiles& tail) {
  constexpr uint16_t kFromPrevious = 0xFFFD, kToNext = 0xFFFE, kPreviousAndNext = 0xFFFF;
  constexpr size_t kBlock = 32768;
  constexpr uint16_t kDate = ((2001 - 1980) << 9) | (2 << 5) | 3, kTime = (4 << 11) | (5 << 5) | 3;
  const NamedFiles* members[2] = {&files, &tail};
  std::string folders[2];
  std::vector<size_t> offsets[2];
  for (int f = 0; f < 2; ++f) {
    for (const auto& file : *members[f]) {
      offsets[f].push_back(folders[f].size());
      folders[f] += file.second;
    }
  }
  std::vector<size_t> bounds{0};
  bounds.insert(bounds.end(), cuts.begin(), cuts.end());
  bounds.push_back(folders[0].size());
  std::vector<std::string> cabinets;
  const size_t count = bounds.size() - 1;
  for (size_t k = 0; k < count; ++k) {
    // Folder 0 between this cabinet's cuts; the tail's folder in the last.
    const int used = k + 1 == count && !tail.empty() ? 2 : 1;
    std::string list, data[2];
    uint16_t listed = 0, blocks[2] = {0, 0};
    for (int f = 0; f < used; ++f) {
      const size_t from = f == 0 ? bounds[k] : 0, to = f == 0 ? bounds[k + 1] : folders[1].size();
      for (size_t i = 0; i < members[f]->size(); ++i) {
        const auto& [name, bytes] = (*members[f])[i];
        const size_t start = offsets[f][i], end = start + bytes.size();
        if (end <= from || start >= to) continue;
        const bool before = start < from, after = end > to;
        const uint64_t folder = before && after ? kPreviousAndNext : before ? kFromPrevious : after ? kToNext : f;
        for (auto [value, width] : {std::pair<uint64_t, int>{bytes.size(), 4}, {start, 4}, {folder, 2},
                                    {kDate, 2}, {kTime, 2}, {0x20, 2}})
          AppendLE(list, value, width);
        list += name + '\0';
        ++listed;
      }
      // Blocks of the folder laid on kBlock boundaries, cut where a cabinet
      // ends (a first piece is 0 bytes uncompressed: continued).
      for (size_t at = from; at < to;) {
        const size_t block_start = at / kBlock * kBlock;
        const size_t block_end = std::min(block_start + kBlock, folders[f].size());
        const size_t piece_end = std::min(block_end, to);
        AppendLE(data[f], 0, 4);  // no checksum
        AppendLE(data[f], piece_end - at, 2);
        AppendLE(data[f], piece_end == block_end ? block_end - block_start : 0, 2);
        data[f] += folders[f].substr(at, piece_end - at);
        ++blocks[f];
        at = piece_end;
      }
    }
    std::string links;
    if (k > 0) links += names[k - 1] + '\0' + "disk" + '\0';
    if (k + 1 < count) links += names[k + 1] + '\0' + "disk" + '\0';
    const size_t files_at = 36 + links.size() + 8 * used, data_at = files_at + list.size();
    // The header: sizes and offsets, version 1.3, counts, a previous (1)
    // or next (2) cabinet, the set's id and this cabinet's place in it.
    std::string cab = "MSCF";
    for (auto [value, width] : {std::pair<uint64_t, int>{0, 4}, {data_at + data[0].size() + data[1].size(), 4},
                                {0, 4}, {files_at, 4}, {0, 4}, {0x0103, 2}, {used, 2}, {listed, 2},
                                {(k > 0 ? 1 : 0) | (k + 1 < count ? 2 : 0), 2}, {0x4321, 2}, {k, 2}})
      AppendLE(cab, value, width);
    cab += links;
    for (int f = 0; f < used; ++f) {
      AppendLE(cab, data_at + (f == 1 ? data[0].size() : 0), 4);
      AppendLE(cab, blocks[f], 2);
      AppendLE(cab, 0, 2);  // stored
    }
    cabinets.push_back(cab + list + data[0] + data[1]);
  }
  return cabinets;
}

std::string Noise(size_t size, uint64_t seed) {
  std::mt19937_64 random(seed);
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; i += 8) {
    const uint64_t word = random();
    std::memcpy(bytes.data() + i, &word, std::min<size_t>(8, size - i));
  }
  return bytes;
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
