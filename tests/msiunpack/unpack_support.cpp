#include "unpack_support.h"

#include <fcntl.h>
#include <glib.h>
#include <pty.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "msiquery.h"

namespace unpack_test {
namespace {

std::vector<std::string> Split(const std::string& row) {
  std::vector<std::string> fields;
  std::stringstream in(row);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  if (!row.empty() && row.back() == '\t') fields.emplace_back();
  return fields;
}

void AppendLE(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  ts::WriteText(path, bytes);
}

RunResult RunUnpack(const std::vector<std::string>& args, const fs::path& cwd) {
  std::vector<std::string> argv{UNPACK_PROGRAM};
  argv.insert(argv.end(), args.begin(), args.end());
  ts::RunOptions options;
  options.cwd = cwd;
  options.env = {"TZ=UTC"};
  options.limit = std::chrono::seconds(120);
  return ts::Run(argv, options);
}

RunResult RunUnpackOnTerminal(const std::vector<std::string>& args, const fs::path& cwd) {
  RunResult result;
  std::vector<std::string> texts{UNPACK_PROGRAM};
  texts.insert(texts.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& t : texts) argv.push_back(t.data());
  argv.push_back(nullptr);
  result.command = texts[0] + " (on a terminal)";
  int master = -1;
  winsize size{};
  size.ws_col = 100;
  size.ws_row = 30;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0 || ::setenv("TZ", "UTC", 1) != 0) _exit(127);
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd poll_fd{master, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&poll_fd, 1, static_cast<int>(left.count())) == 0) {
      result.timed_out = true;
      ::kill(pid, SIGKILL);
      break;
    }
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EIO once the child has closed the terminal
    result.err.append(buffer, static_cast<size_t>(n));
  }
  ::close(master);
  int status = 0;
  if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && !result.timed_out) result.exit_code = WEXITSTATUS(status);
  return result;
}

// A summary information property set holding only the word count.
std::string SummaryWithWordCount(int word_count) {
  static const unsigned char kFmtid[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                           0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
  std::string set = "\xFE\xFF";
  AppendLE(set, 0, 2);
  AppendLE(set, 0x00020006, 4);
  set += std::string(16, '\0');
  AppendLE(set, 1, 4);
  set.append(reinterpret_cast<const char*>(kFmtid), sizeof kFmtid);
  AppendLE(set, 48, 4);  // the section follows at once
  AppendLE(set, 24, 4);  // section size
  AppendLE(set, 1, 4);   // one property
  AppendLE(set, 15, 4);  // word count ...
  AppendLE(set, 16, 4);  // ... at offset 16 of the section
  AppendLE(set, 3, 4);   // VT_I4
  AppendLE(set, static_cast<uint32_t>(word_count), 4);
  return set;
}

void MakePackage(const fs::path& package, const PackageRows& given) {
  PackageRows rows = given;
  if (rows.word_count >= 0) rows.streams["\005SummaryInformation"] = SummaryWithWordCount(rows.word_count);
  TempDir idt;
  std::string directory = "Directory\tDirectory_Parent\tDefaultDir\r\ns72\tS72\tl255\r\nDirectory\tDirectory\r\n";
  for (const std::string& r : rows.directories) directory += r + "\r\n";
  std::string component =
      "Component\tComponentId\tDirectory_\tAttributes\tCondition\tKeyPath\r\n"
      "s72\tS38\ts72\ti2\tS255\tS72\r\nComponent\tComponent\r\n";
  for (const std::string& r : rows.components) {
    const auto f = Split(r);
    component += f.at(0) + "\t\t" + f.at(1) + "\t0\t\t\r\n";
  }
  std::string file =
      "File\tComponent_\tFileName\tFileSize\tVersion\tLanguage\tAttributes\tSequence\r\n"
      "s72\ts72\tl255\ti4\tS72\tS20\tI2\ti2\r\nFile\tFile\r\n";
  for (const std::string& r : rows.files) {
    const auto f = Split(r);
    file += f.at(0) + "\t" + f.at(1) + "\t" + f.at(2) + "\t" + f.at(3) + "\t\t\t" + f.at(4) + "\t" + f.at(5) + "\r\n";
  }
  std::string media =
      "DiskId\tLastSequence\tDiskPrompt\tCabinet\tVolumeLabel\tSource\r\n"
      "i2\ti2\tL64\tS255\tS32\tS72\r\nMedia\tDiskId\r\n";
  for (const std::string& r : rows.media) {
    const auto f = Split(r);
    media += f.at(0) + "\t" + f.at(1) + "\t\t" + (f.size() > 2 ? f[2] : "") + "\t\t\r\n";
  }
  std::vector<std::string> names{"Directory.idt", "Component.idt", "File.idt", "Media.idt"};
  WriteBytes(idt / "Directory.idt", directory);
  WriteBytes(idt / "Component.idt", component);
  WriteBytes(idt / "File.idt", file);
  WriteBytes(idt / "Media.idt", media);
  if (!rows.streams.empty()) {
    std::string streams = "Name\tData\r\ns62\tV0\r\n_Streams\tName\r\n";
    int n = 0;
    for (const auto& [name, bytes] : rows.streams) {
      const std::string data = "stream" + std::to_string(++n);
      WriteBytes(idt / "_Streams" / data, bytes);
      streams += name + "\t" + data + "\r\n";
    }
    WriteBytes(idt / "_Streams.idt", streams);
    names.push_back("_Streams.idt");
  }
  fs::remove(package);
  MSIHANDLE db = 0;
  if (MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_CREATE_A, &db) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create " + package.string());
  for (const std::string& name : names)
    if (MsiDatabaseImportA(db, idt.path().c_str(), name.c_str()) != ERROR_SUCCESS)
      throw std::runtime_error("cannot import " + name);
  const UINT committed = MsiDatabaseCommit(db);
  MsiCloseHandle(db);
  if (committed != ERROR_SUCCESS) throw std::runtime_error("cannot commit " + package.string());
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
  std::string spanned, rest;
  struct Entry {
    std::string name;
    size_t size, offset;
    uint16_t folder[2];  // in the first and in the second cabinet
    bool in[2];
  };
  std::vector<Entry> entries;
  for (const auto& [name, bytes] : files) {
    if (spanned.size() < split || spanned.size() + bytes.size() <= split) {
      const size_t offset = spanned.size();
      const bool crosses = offset < split && offset + bytes.size() > split;
      entries.push_back({name, bytes.size(), offset,
                         {crosses ? kContinuedToNext : uint16_t{0}, kContinuedFromPrevious}, {true, crosses}});
      spanned += bytes;
    } else {
      entries.push_back({name, bytes.size(), rest.size(), {0, 1}, {false, true}});
      rest += bytes;
    }
  }
  if (split == 0 || split >= spanned.size() || spanned.size() > 32768 || rest.size() > 32768)
    throw std::runtime_error("bad split");
  std::vector<std::string> cabinets;
  for (int part = 0; part < 2; ++part) {
    std::string list;
    uint16_t count = 0;
    for (const Entry& e : entries) {
      if (!e.in[part]) continue;
      AppendLE(list, static_cast<uint32_t>(e.size), 4);
      AppendLE(list, static_cast<uint32_t>(e.offset), 4);
      AppendLE(list, e.folder[part], 2);
      AppendLE(list, kDate, 2);
      AppendLE(list, kTime, 2);
      AppendLE(list, 0x20, 2);
      list += e.name + '\0';
      ++count;
    }
    const std::string names = part == 0 ? second_name + '\0' + "disk2" + '\0' : first_name + '\0' + "disk1" + '\0';
    // Blocks: the split block's two pieces, then the second folder's one.
    struct Block {
      std::string bytes;
      uint16_t uncompressed;
    };
    std::vector<Block> blocks;
    if (part == 0) {
      blocks.push_back({spanned.substr(0, split), 0});  // 0: continued in the next cabinet
    } else {
      blocks.push_back({spanned.substr(split), static_cast<uint16_t>(spanned.size())});
      if (!rest.empty()) blocks.push_back({rest, static_cast<uint16_t>(rest.size())});
    }
    const size_t folders = blocks.size();
    const size_t files_at = 36 + names.size() + 8 * folders;
    size_t data_at = files_at + list.size();
    std::string data;
    std::string folder_table;
    for (const Block& b : blocks) {
      AppendLE(folder_table, static_cast<uint32_t>(data_at + data.size()), 4);
      AppendLE(folder_table, 1, 2);  // one data block
      AppendLE(folder_table, 0, 2);  // stored
      AppendLE(data, 0, 4);          // no checksum
      AppendLE(data, static_cast<uint32_t>(b.bytes.size()), 2);
      AppendLE(data, b.uncompressed, 2);
      data += b.bytes;
    }
    std::string cab = "MSCF";
    AppendLE(cab, 0, 4);
    AppendLE(cab, static_cast<uint32_t>(data_at + data.size()), 4);
    AppendLE(cab, 0, 4);
    AppendLE(cab, static_cast<uint32_t>(files_at), 4);
    AppendLE(cab, 0, 4);
    cab += '\x03';
    cab += '\x01';
    AppendLE(cab, static_cast<uint32_t>(folders), 2);
    AppendLE(cab, count, 2);
    AppendLE(cab, part == 0 ? 2 : 1, 2);  // next / previous cabinet
    AppendLE(cab, 0x1234, 2);             // set id
    AppendLE(cab, static_cast<uint32_t>(part), 2);
    cabinets.push_back(cab + names + folder_table + list + data);
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

std::vector<int> Md5Parts(const std::string& bytes) {
  guint8 digest[16];
  gsize length = sizeof digest;
  GChecksum* sum = g_checksum_new(G_CHECKSUM_MD5);
  g_checksum_update(sum, reinterpret_cast<const guchar*>(bytes.data()), static_cast<gssize>(bytes.size()));
  g_checksum_get_digest(sum, digest, &length);
  g_checksum_free(sum);
  std::vector<int> parts;
  for (int i = 0; i < 4; ++i) {
    uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = (v << 8) | digest[i * 4 + b];
    parts.push_back(static_cast<int>(v));
  }
  return parts;
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace unpack_test
