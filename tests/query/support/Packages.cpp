#include "Packages.h"

#include <QFile>
#include <fcntl.h>
#include <linux/fs.h>
#include <csignal>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

QString FixturePackage(const QString& name) {
  return QStringLiteral(VINTREL_FIXTURE_DIR "/") + name + QStringLiteral(".msi");
}

QString CorpusPackage(const QString& name) {
  const ts::fs::path path = ts::CorpusDir() / name.toStdString();
  return ts::fs::exists(path) ? QString::fromStdString(path.string()) : QString();
}

QString CopyPackage(const QString& package, const QTemporaryDir& dir, const QString& name) {
  const QString copy = dir.filePath(name);
  QFile::remove(copy);
  if (!QFile::copy(package, copy)) return QString();
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  return copy;
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray();
  return file.readAll();
}

namespace {
bool SetImmutable(const QString& path, bool on) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}
}  // namespace

UnwritableGuard::UnwritableGuard(const QString& path) : m_path(path) {
  const QByteArray name = QFile::encodeName(path);
  struct stat info {};
  if (::stat(name.constData(), &info) != 0) return;
  ::chmod(name.constData(), S_ISDIR(info.st_mode) ? 0555 : 0444);
  if (::geteuid() == 0) {
    m_immutable = SetImmutable(path, true);
    m_active = m_immutable;
  } else {
    m_active = true;
  }
}

UnwritableGuard::~UnwritableGuard() {
  if (m_immutable) SetImmutable(m_path, false);
  const QByteArray name = QFile::encodeName(m_path);
  struct stat info {};
  if (::stat(name.constData(), &info) == 0) ::chmod(name.constData(), S_ISDIR(info.st_mode) ? 0755 : 0644);
}

FileSizeLimitGuard::FileSizeLimitGuard(long long bytes) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
  m_savedSoft = static_cast<long long>(limit.rlim_cur);
  std::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit then fails with EFBIG
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimitGuard::~FileSizeLimitGuard() {
  if (!m_active) return;
  struct rlimit limit {};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(m_savedSoft);
  ::setrlimit(RLIMIT_FSIZE, &limit);
}
