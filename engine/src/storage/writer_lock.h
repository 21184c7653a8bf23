// One writer per package at a time, across processes.
//
// The installer opens a package for MSIDBOPEN_TRANSACT with share-deny-write
// and for DIRECT and CREATE share-exclusive, so a second writer meets a
// sharing violation and MsiOpenDatabase fails with ERROR_OPEN_FAILED. This
// is the Linux equivalent: an advisory lock (flock) on a lock file beside
// the package, `.NAME.lock`, taken at open by every database that may write
// (the package itself, or the output file of an output-path persist) and
// held until the database is closed. The lock file, not the package, is
// locked because a commit renames a new file over the package: a lock on
// the package's inode would stay with the old file. The lock file is
// removed again when the writer closes; a lock file left behind by a
// process that died holds no lock and is simply reused.
//
// Readers take no lock and are never blocked: a commit replaces the package
// by an atomic rename, so they see the old file or the new one, whole.
#pragma once

#include <memory>
#include <string>

#include "status.h"

namespace msi {

class WriterLock {
 public:
  // Locks the package at `path` (which need not exist yet) for writing.
  // ERROR_OPEN_FAILED when another writer has it, or when the lock file
  // cannot be made.
  static Result<std::unique_ptr<WriterLock>> Acquire(const std::string& path);
  ~WriterLock();
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;

  const std::string& lock_path() const { return lock_path_; }

 private:
  WriterLock(int fd, std::string lock_path);
  int fd_;
  std::string lock_path_;
  int owner_;  // the process that took the lock
};

// The name of the lock file of the package at `path`: beside the package's
// real location (symbolic links followed), so every name of one package
// finds the same lock.
std::string LockPathFor(const std::string& path);

}  // namespace msi
