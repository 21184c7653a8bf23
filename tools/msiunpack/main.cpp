// msiunpack: unpacks the files a Windows Installer package installs, laid
// out as an administrative image (DIR/SourceDir/...). See msiunpack --help.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "unpacker.h"

namespace {

constexpr const char* kUsage =
    "Usage: msiunpack [--quiet] PACKAGE [DIR]\n"
    "       msiunpack --list PACKAGE\n"
    "\n"
    "Unpacks the files PACKAGE installs into DIR as an administrative image:\n"
    "DIR/SourceDir/... with every folder and file by its long name. DIR is\n"
    "created when missing; it defaults to the package's file name without its\n"
    "extension, in the current folder. Files come from the package's embedded\n"
    "cabinets, cabinets beside it, or uncompressed from a source image beside\n"
    "it. Each file gets the time its cabinet records for it.\n"
    "\n"
    "  --list     print the layout as PATH<TAB>SIZE lines, unpack nothing\n"
    "  --quiet    no progress bar (errors are still printed)\n"
    "  --help     this text\n"
    "  --version  the program's version\n"
    "\n"
    "A progress bar is shown when standard error is a terminal. Files that\n"
    "cannot be found, read or written are reported on standard error and the\n"
    "others are still unpacked.\n"
    "\n"
    "Exit status: 0 every file was unpacked; 1 a file or the package failed;\n"
    "2 a usage error.\n";

int UsageError(const char* why) {
  std::fprintf(stderr, "msiunpack: %s\n%s", why, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  msiunpack::Options options;
  std::vector<std::string> operands;
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_end || arg.empty() || arg[0] != '-' || arg == "-") {
      operands.push_back(arg);
    } else if (arg == "--") {
      options_end = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("msiunpack %s\n", MSIUNPACK_VERSION);
      return 0;
    } else if (arg == "--list" || arg == "-l") {
      options.list = true;
    } else if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
    } else {
      return UsageError(("unknown option " + arg).c_str());
    }
  }
  if (operands.empty()) return UsageError("no package given");
  if (operands.size() > 2 || (options.list && operands.size() > 1)) return UsageError("too many arguments");
  options.package = operands[0];
  options.output = operands.size() > 1
                       ? operands[1]
                       : std::filesystem::path(options.package).stem().string();
  if (options.output.empty()) return UsageError("no folder name can be made from the package name");
  options.progress = ::isatty(STDERR_FILENO) == 1;
  return msiunpack::Unpack(options);
}
