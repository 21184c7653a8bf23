// Test packages: fixtures built from .idt folders, the shared corpus, and
// private copies that a test may change.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "support.h"

QString FixturePackage(const QString& name);  // built beside the tests
// The corpus package of that name; empty when it is absent.
QString CorpusPackage(const QString& name);

// Copies `package` into `dir` as `name` and returns the copy's path.
QString CopyPackage(const QString& package, const QTemporaryDir& dir, const QString& name);
QByteArray FileBytes(const QString& path);

// Makes a file or folder unwritable for as long as it lives, also for root
// (which ignores permission bits) through the file system's immutable flag.
class UnwritableGuard {
 public:
  explicit UnwritableGuard(const QString& path);
  ~UnwritableGuard();
  UnwritableGuard(const UnwritableGuard&) = delete;
  UnwritableGuard& operator=(const UnwritableGuard&) = delete;
  // False when the path could not be made unwritable here.
  bool Active() const { return m_active; }

 private:
  QString m_path;
  bool m_immutable = false;
  bool m_active = false;
};

// Limits the size of files this process writes for as long as it lives,
// so that writing a whole package fails the way a full disk makes it fail.
class FileSizeLimitGuard {
 public:
  explicit FileSizeLimitGuard(long long bytes);
  ~FileSizeLimitGuard();
  FileSizeLimitGuard(const FileSizeLimitGuard&) = delete;
  FileSizeLimitGuard& operator=(const FileSizeLimitGuard&) = delete;
  bool Active() const { return m_active; }

 private:
  bool m_active = false;
  long long m_savedSoft = 0;
};
