#include "output_compare.h"

#include <sstream>

namespace {

// The line at `at` (without LF), moving `at` past it; false at the end.
bool next_line(const std::string& text, size_t& at, std::string& line) {
  if (at >= text.size()) return false;
  size_t end = text.find('\n', at);
  if (end == std::string::npos) {
    line = text.substr(at) + "(no line end)";
    at = text.size();
  } else {
    line = text.substr(at, end - at);
    at = end + 1;
  }
  return true;
}

}  // namespace

std::string first_difference(const std::string& ours, const std::string& theirs,
                             const std::string& our_name, const std::string& their_name) {
  if (ours == theirs) return {};
  size_t a = 0, b = 0;
  for (int number = 1;; ++number) {
    std::string la, lb;
    bool ha = next_line(ours, a, la);
    bool hb = next_line(theirs, b, lb);
    if (!ha && !hb) break;
    if (ha != hb || la != lb) {
      std::ostringstream s;
      s << "first differing line " << number << ":\n    " << our_name << ": "
        << (ha ? la : "(no line)") << "\n    " << their_name << ": " << (hb ? lb : "(no line)");
      return s.str();
    }
  }
  return "outputs differ";
}
