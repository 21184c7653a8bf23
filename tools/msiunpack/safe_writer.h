// Writes files below the output folder the way careful archivers do:
// folders are entered without following links, each file is written to a
// new temporary file in its folder and renamed into place, so a failure
// leaves no partial file and a link standing at the path is replaced, never
// written through.
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "outcome.h"

namespace msiunpack {

class OutputTree {
 public:
  // Creates `root` (and its parents) when missing.
  static Outcome<OutputTree> Open(const std::string& root);
  OutputTree(OutputTree&& other) noexcept;
  OutputTree& operator=(OutputTree&&) = delete;
  ~OutputTree();

  // `fill` writes the content into the descriptor it is given. The file's
  // modification time becomes `modified` (when given).
  Status Write(const std::vector<std::string>& folders, const std::string& name,
               const std::function<Status(int fd)>& fill, const timespec* modified);

 private:
  explicit OutputTree(int root_fd) : root_fd_(root_fd) {}
  Outcome<int> Folder(const std::vector<std::string>& folders);
  void ForgetFolders();

  int root_fd_ = -1;
  std::map<std::string, int> folder_fds_;  // by the '/'-joined path
  unsigned temp_counter_ = 0;
};

}  // namespace msiunpack
