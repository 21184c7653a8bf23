#include "unpacker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unordered_map>

#include "cabinet_source.h"
#include "layout.h"
#include "package_tables.h"
#include "progress.h"
#include "safe_writer.h"
#include "summary_info.h"

namespace msiunpack {
namespace {

constexpr const char* kMergeModuleCabinet = "MergeModule.CABinet";

std::string FolderOf(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// The cabinets of the Media table in DiskId order; a merge module keeps its
// files in one stream of a fixed name instead.
Outcome<std::unique_ptr<CabinetLibrary>> OpenCabinets(const PackageDatabase& db,
                                                      const PackageTables& tables,
                                                      const std::string& package, Progress& progress,
                                                      bool& failed) {
  auto library = CabinetLibrary::Create();
  if (!library.ok()) return library.failure();
  CabinetLibrary& cabinets = *library.value();
  std::vector<std::string> names;
  for (const MediaRow& media : tables.media)
    if (!media.cabinet.empty()) names.push_back(media.cabinet);
  if (names.empty() && db.HasStream(kMergeModuleCabinet)) names.push_back(std::string("#") + kMergeModuleCabinet);
  for (const std::string& name : names) {
    Status added = Ok();
    if (name[0] == '#') {
      auto stream = db.OpenStream(name.substr(1));
      if (stream.ok()) {
        auto shared = std::make_shared<PackageStream>(std::move(stream.value()));
        const uint64_t size = shared->size();
        added = cabinets.AddEmbedded(name, {size, [shared](uint64_t offset, void* out, size_t n) {
                                              return shared->Read(offset, out, n);
                                            }});
      } else {
        added = stream.failure();
      }
    } else {
      added = cabinets.AddFile(name, FolderOf(package) + "/" + name);
    }
    if (!added.ok()) {
      progress.Error(added.message());
      failed = true;
    }
  }
  return library;
}

Status CopyFrom(int source, int target, Progress& progress) {
  std::vector<char> buffer(1 << 16);
  uint64_t copied = 0;
  for (;;) {
    const ssize_t n = ::read(source, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure{std::string("cannot read the source file: ") + std::strerror(errno)};
    if (n == 0) return Ok();
    for (ssize_t at = 0; at < n;) {
      const ssize_t w = ::write(target, buffer.data() + at, static_cast<size_t>(n - at));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return Failure{std::string("cannot write the file: ") + std::strerror(errno)};
      at += w;
    }
    copied += static_cast<uint64_t>(n);
    progress.FileBytes(copied);
  }
}

// An uncompressed file of the source image, found by its source names.
Status CopyFromSourceImage(const PlannedFile& file, const std::string& package, OutputTree& out,
                           Progress& progress) {
  std::string source = FolderOf(package);
  for (const std::string& folder : file.source_folders) source += "/" + folder;
  source += "/" + file.source_name;
  const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Failure{file.key + ": source file " + source + ": " + std::strerror(errno)};
  struct stat info {};
  Status result = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
                      ? Ok()
                      : Failure{file.key + ": source file " + source + " is not a regular file"};
  if (result.ok()) {
    result = out.Write(file.folders, file.name, [&](int target) { return CopyFrom(fd, target, progress); },
                       &info.st_mtim);
  }
  ::close(fd);
  return result;
}

bool HasMediaCabinet(const PackageTables& tables) {
  for (const MediaRow& media : tables.media)
    if (!media.cabinet.empty()) return true;
  return false;
}

void PrintListing(const Layout& layout) {
  for (const PlannedFile& file : layout.files)
    std::printf("%s\t%lld\n", RelativePath(file).c_str(), static_cast<long long>(file.size));
}

}  // namespace

int Unpack(const Options& options) {
  auto db = PackageDatabase::Open(options.package);
  if (!db.ok()) {
    std::fprintf(stderr, "msiunpack: %s\n", db.message().c_str());
    return 1;
  }
  auto tables = db.value().ReadTables();
  if (!tables.ok()) {
    std::fprintf(stderr, "msiunpack: %s: %s\n", options.package.c_str(), tables.message().c_str());
    return 1;
  }
  // A merge module keeps every file in its one cabinet, whatever the
  // summary information says.
  const bool merge_module = !HasMediaCabinet(tables.value()) && db.value().HasStream(kMergeModuleCabinet);
  if (merge_module) tables.value().word_count |= kWordCountCompressed;
  const Layout layout = PlanLayout(tables.value());
  bool failed = !layout.refused.empty();
  if (options.list) {
    PrintListing(layout);
    for (const std::string& line : layout.refused) std::fprintf(stderr, "msiunpack: %s\n", line.c_str());
    return std::fflush(stdout) == 0 && !failed ? 0 : 1;
  }

  uint64_t total_bytes = 0;
  for (const PlannedFile& f : layout.files) total_bytes += static_cast<uint64_t>(std::max<int64_t>(0, f.size));
  Progress progress(options.progress && !options.quiet, layout.files.size(), total_bytes);
  for (const std::string& line : layout.refused) progress.Error(line);

  auto out = OutputTree::Open(options.output);
  if (!out.ok()) {
    progress.Error(out.message());
    return 1;
  }
  std::unordered_map<std::string, const PlannedFile*> pending;
  bool any_compressed = false;
  for (const PlannedFile& f : layout.files) {
    pending.emplace(f.key, &f);
    any_compressed = any_compressed || f.compressed;
  }
  auto finish = [&](const PlannedFile& file, const Status& written) {
    if (!written.ok()) {
      progress.Error(written.message().rfind(file.key + ":", 0) == 0
                         ? written.message()
                         : RelativePath(file) + ": " + written.message());
      failed = true;
    }
    progress.EndFile();
    pending.erase(file.key);
  };

  if (any_compressed) {
    auto cabinets = OpenCabinets(db.value(), tables.value(), options.package, progress, failed);
    if (!cabinets.ok()) {
      progress.Error(cabinets.message());
      return 1;
    }
    CabinetLibrary& library = *cabinets.value();
    // Cabinet order, so each folder of a cabinet is decompressed once.
    for (const CabinetEntry& entry : library.Entries()) {
      const auto found = pending.find(entry.name);
      if (found == pending.end() || !found->second->compressed) continue;
      const PlannedFile& file = *found->second;
      progress.StartFile(RelativePath(file));
      const auto fill = [&](int fd) {
        return library.Extract(entry, fd, [&](uint64_t bytes) { progress.FileBytes(bytes); });
      };
      finish(file, out.value().Write(file.folders, file.name, fill, &entry.modified));
    }
  }
  for (const PlannedFile& file : layout.files) {
    if (!pending.count(file.key)) continue;
    progress.StartFile(RelativePath(file));
    finish(file, file.compressed ? Failure{file.key + ": not found in any cabinet of the package"}
                                 : CopyFromSourceImage(file, options.package, out.value(), progress));
  }
  progress.Finish();
  return failed ? 1 : 0;
}

}  // namespace msiunpack
