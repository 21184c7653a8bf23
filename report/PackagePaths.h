// Names of the files the report builder writes beside a package.
#pragma once

#include <string>

namespace pellacor {

// Every ".msi" in the path (any letter case, folder names included) becomes
// `replacement`; a path without ".msi" gets `replacement` appended, so the
// result never names the package itself.
std::string ReplaceMsiExtension(const std::string& package_path,
                                const std::string& replacement);

// The report's path: the package path with ".msi" replaced by ".html". Should
// that name the package file itself (a link), the package path + ".html".
std::string ReportPathFor(const std::string& package_path);

// Picks the temporary stream file's path for one report run. A file of the
// plain name that the run did not create is left alone: a free name beside
// it is used instead (Setup-2.~bin, Setup-3.~bin, ...).
class TempStreamFile {
 public:
  explicit TempStreamFile(const std::string& package_path);

  // The path to use now.
  const std::string& Path();
  // Tells that the run created (true) or removed (false) the file.
  void SetOurs(bool ours) { ours_ = ours; }
  bool ours() const { return ours_; }

 private:
  std::string base_;
  std::string path_;
  bool ours_ = false;
};

// True when both paths name one existing file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace pellacor
