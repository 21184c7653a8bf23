#include "options.h"

#include <cctype>
#include <cstring>

namespace msivalidate {

const char kUsage[] =
    "Usage: msivalidate [OPTIONS] PACKAGE...\n"
    "Runs the validation suite's consistency checks (ICE01..ICE105) on each\n"
    "package (.msi, .msm, .wsi) and prints one line per finding:\n"
    "  ICE03  ERROR    Component.ComponentId [Comp1]  Not a valid GUID.\n"
    "then a summary line per package.\n"
    "\n"
    "Options:\n"
    "  --ice LIST            run only these evaluators (ICE30,ICE03 or 30,3)\n"
    "  --skip LIST           leave these evaluators out\n"
    "  --list                list every evaluator of the suite and whether it is built\n"
    "  --format text|sarif   findings as lines (default) or a SARIF 2.1.0 log\n"
    "  --warnings-as-errors  warnings make the exit status 1\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 no package has an error; 1 a package has an error (or an\n"
    "evaluator failed); 2 usage error; 3 a package cannot be read.\n";

bool ParseIceList(const std::string& list, std::vector<std::string>* out, std::string* bad) {
  std::string item;
  auto flush = [&]() {
    if (item.empty()) return true;
    std::string name;
    for (char c : item) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.rfind("ICE", 0) != 0) name = "ICE" + name;
    const std::string digits = name.substr(3);
    const bool numeric = !digits.empty() && digits.size() <= 3 &&
                         digits.find_first_not_of("0123456789") == std::string::npos;
    if (!numeric) {
      *bad = item;
      return false;
    }
    // "3" and "ICE3" mean ICE03: the suite writes two digits at least.
    const int number = std::stoi(digits);
    name = "ICE" + std::string(number < 10 ? "0" : "") + std::to_string(number);
    out->push_back(name);
    item.clear();
    return true;
  };
  for (char c : list) {
    if (c == ',' || c == ' ' || c == ';') {
      if (!flush()) return false;
    } else {
      item += c;
    }
  }
  return flush();
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string* error) {
  Options o;
  bool only_packages = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* name) -> std::optional<std::string> {
      const std::string prefix = std::string(name) + "=";
      if (arg.rfind(prefix, 0) == 0) return arg.substr(prefix.size());
      if (i + 1 >= argc) {
        *error = std::string(name) + " needs a value";
        return std::nullopt;
      }
      return std::string(argv[++i]);
    };
    auto is = [&](const char* name) {
      return arg == name || arg.rfind(std::string(name) + "=", 0) == 0;
    };
    if (only_packages || arg.empty() || arg[0] != '-' || arg == "-") {
      o.packages.push_back(arg);
    } else if (arg == "--") {
      only_packages = true;
    } else if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg == "--list") {
      o.list = true;
    } else if (arg == "--warnings-as-errors") {
      o.warnings_as_errors = true;
    } else if (is("--ice") || is("--skip")) {
      const bool skip = is("--skip");
      auto list = value(skip ? "--skip" : "--ice");
      if (!list) return std::nullopt;
      std::string bad;
      if (!ParseIceList(*list, skip ? &o.skip : &o.only, &bad)) {
        *error = "not an evaluator name: '" + bad + "'";
        return std::nullopt;
      }
    } else if (is("--format")) {
      auto format = value("--format");
      if (!format) return std::nullopt;
      if (*format == "text") {
        o.format = Options::Format::Text;
      } else if (*format == "sarif") {
        o.format = Options::Format::Sarif;
      } else {
        *error = "unknown format '" + *format + "' (text or sarif)";
        return std::nullopt;
      }
    } else {
      *error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  if (!o.help && !o.version && !o.list && o.packages.empty()) {
    *error = "no package given";
    return std::nullopt;
  }
  return o;
}

}  // namespace msivalidate
