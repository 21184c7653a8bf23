#include "PackagePaths.h"

#include <sys/stat.h>

#include <cctype>
#include <string_view>

namespace pellacor {

namespace {
bool IsMsiAt(const std::string& s, size_t i) {
  static constexpr char kExt[] = ".msi";
  for (size_t k = 0; k < 4; ++k) {
    if (std::tolower(static_cast<unsigned char>(s[i + k])) != kExt[k]) {
      return false;
    }
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}
}  // namespace

std::string ReplaceMsiExtension(const std::string& package_path,
                                const std::string& replacement) {
  std::string out;
  bool replaced = false;
  size_t i = 0;
  while (i < package_path.size()) {
    if (i + 4 <= package_path.size() && IsMsiAt(package_path, i)) {
      out += replacement;
      i += 4;
      replaced = true;
    } else {
      out += package_path[i++];
    }
  }
  if (!replaced) out = package_path + replacement;
  return out;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string ReportPathFor(const std::string& package_path) {
  std::string path = ReplaceMsiExtension(package_path, ".html");
  if (path == package_path || SameFile(path, package_path)) {
    path = package_path + ".html";
  }
  return path;
}

TempStreamFile::TempStreamFile(const std::string& package_path)
    : base_(ReplaceMsiExtension(package_path, ".~bin")) {}

const std::string& TempStreamFile::Path() {
  if (path_.empty() || (!ours_ && Exists(path_))) {
    static constexpr std::string_view kExt = ".~bin";
    bool has_ext = base_.size() >= kExt.size() &&
                   base_.compare(base_.size() - kExt.size(), kExt.size(),
                                 kExt) == 0;
    std::string stem = has_ext ? base_.substr(0, base_.size() - kExt.size())
                               : base_;
    std::string_view ext = has_ext ? kExt : std::string_view();
    path_ = base_;
    for (int n = 2; Exists(path_); ++n) {
      path_ = stem + "-" + std::to_string(n) + std::string(ext);
    }
  }
  return path_;
}

}  // namespace pellacor
