#include "formatted_text.h"

namespace msivalidate {

std::vector<FormattedReference> FormattedReferences(std::string_view text) {
  std::vector<FormattedReference> out;
  size_t open = std::string_view::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      open = i;  // a later '[' makes the pair innermost
    } else if (text[i] == ']' && open != std::string_view::npos) {
      std::string_view inside = text.substr(open + 1, i - open - 1);
      const size_t at = open;
      open = std::string_view::npos;
      if (inside.empty() || inside[0] == '\\' || inside[0] == '~') continue;
      FormattedReference ref;
      ref.offset = at;
      if (inside[0] == '#' || inside[0] == '!' || inside[0] == '$' || inside[0] == '%') {
        ref.kind = inside[0];
        inside.remove_prefix(1);
        if (inside.empty()) continue;
      }
      ref.name = inside;
      out.push_back(ref);
    }
  }
  return out;
}

}  // namespace msivalidate
