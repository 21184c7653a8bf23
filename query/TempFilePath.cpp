#include "TempFilePath.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace {

constexpr int kUniqueNameAttempts = 0x10000;
constexpr int kPrefixLength = 3;

QString CreateUniqueFile(const QString& folder, const QString& prefix) {
  const quint32 start = QRandomGenerator::global()->bounded(0x10000u);
  for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
    const quint32 number = (start + static_cast<quint32>(attempt)) & 0xFFFF;
    const QString candidate = folder + SafeFileName(prefix.left(kPrefixLength)) +
                              QStringLiteral("%1.TMP").arg(number, 4, 16, QLatin1Char('0')).toUpper();
    QFile file(candidate);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return candidate;
    if (!file.exists()) return QString();  // failed for another reason than the name
  }
  return QString();
}

}  // namespace

QString AddBackslash(const QString& path) {
  if (path.isEmpty() || path.endsWith(QLatin1Char('\\')) || path.endsWith(QLatin1Char('/')))
    return path;
  return path + QDir::separator();
}

QString SafeFileName(const QString& name) {
  QString safe = name;
  for (QChar& c : safe) {
    const char16_t unit = c.unicode();
    if (unit == u'/' || unit == u'\\' || unit < 0x20 || unit == 0x7F) c = QLatin1Char('_');
  }
  return safe;
}

QString GetTempFilePathIn(const QString& folder, bool unique, const QString& name,
                          const QString& extension) {
  if (folder.isEmpty()) return QString();
  QString result = AddBackslash(folder);
  if (!unique && !name.isEmpty()) {
    result += SafeFileName(name) + QStringLiteral(".TMP");
  } else {
    const QString prefix = unique && !name.isEmpty() ? name : QStringLiteral("BR_");
    result = CreateUniqueFile(result, prefix);
  }
  if (!result.isEmpty() && !extension.isEmpty()) {
    QFile::remove(result);
    result.chop(4);
    result += extension;
  }
  return result;
}

QString GetTempFilePath(bool unique, const QString& name, const QString& extension) {
  return GetTempFilePathIn(QDir::tempPath(), unique, name, extension);
}
