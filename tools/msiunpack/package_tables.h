// The rows msiunpack needs from a package, read through the installer's C
// API only: where files go (Directory, Component, File), where their bytes
// are (Media, streams) and the summary word count.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "msiquery.h"
#include "outcome.h"

namespace msiunpack {

struct DirectoryRow {
  std::string key;
  std::optional<std::string> parent;  // absent: a root
  std::string default_dir;
};

struct ComponentRow {
  std::string key;
  std::string directory;
};

struct FileRow {
  std::string key;
  std::string component;
  std::string file_name;
  int64_t size = 0;
  int attributes = 0;
  int sequence = 0;
};

struct MediaRow {
  int disk_id = 0;
  std::string cabinet;  // empty: files of this disk are not in a cabinet
};

struct PackageTables {
  std::vector<DirectoryRow> directories;
  std::vector<ComponentRow> components;
  std::vector<FileRow> files;
  std::vector<MediaRow> media;  // ordered by DiskId
  int word_count = 0;           // summary information property 15
};

// A stream of the package, read in pieces where it lies in the package
// (never copied whole, so a cabinet of gigabytes costs no memory of its
// size). Holds the record it was fetched into.
class PackageStream {
 public:
  PackageStream(PackageStream&& other) noexcept : record_(other.record_), size_(other.size_) { other.record_ = 0; }
  PackageStream& operator=(PackageStream&&) = delete;
  ~PackageStream() { MsiCloseHandle(record_); }

  uint64_t size() const { return size_; }
  // Up to n bytes from `offset` (fewer only at the end); -1 when the
  // engine cannot read them.
  long Read(uint64_t offset, void* out, size_t n) const;

 private:
  friend class PackageDatabase;
  PackageStream(MSIHANDLE record, uint64_t size) : record_(record), size_(size) {}
  MSIHANDLE record_ = 0;
  uint64_t size_ = 0;
};

// An open database handle, closed with the object.
class PackageDatabase {
 public:
  static Outcome<PackageDatabase> Open(const std::string& path);
  PackageDatabase(PackageDatabase&& other) noexcept : handle_(other.handle_) { other.handle_ = 0; }
  PackageDatabase& operator=(PackageDatabase&&) = delete;
  ~PackageDatabase() { MsiCloseHandle(handle_); }

  Outcome<PackageTables> ReadTables() const;
  bool HasStream(const std::string& name) const;
  Outcome<std::vector<unsigned char>> ReadStream(const std::string& name) const;
  Outcome<PackageStream> OpenStream(const std::string& name) const;

 private:
  explicit PackageDatabase(MSIHANDLE handle) : handle_(handle) {}
  MSIHANDLE handle_ = 0;
};

// "error N: DESCRIPTION" for an installer result code.
std::string DescribeResult(UINT code);

}  // namespace msiunpack
