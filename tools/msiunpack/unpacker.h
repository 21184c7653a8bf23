// One run of msiunpack: read the package, plan the layout, then list it or
// write every file from its cabinet or the source image.
#pragma once

#include <string>

namespace msiunpack {

struct Options {
  std::string package;
  std::string output;  // DIR
  bool list = false;
  bool quiet = false;
  bool progress = false;  // draw the progress bar
};

// The exit status: 0 when every file was unpacked (or listed), 1 otherwise.
int Unpack(const Options& options);

}  // namespace msiunpack
