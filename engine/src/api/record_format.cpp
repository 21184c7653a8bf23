#include "api/record_format.h"

#include <cstddef>
#include <string_view>

namespace msi::api {
namespace {

// Nesting deeper than this is copied as written, so no template can
// exhaust the stack.
constexpr int kMaxDepth = 64;

// What the references inside one {...} group came to.
struct GroupFacts {
  bool field = false;       // a field reference
  bool empty_field = false; // one that was null, empty or beyond the count
  bool other = false;       // a reference no field resolves (kept as written)
};

class Formatter {
 public:
  explicit Formatter(const Record& record) : record_(record) {}

  std::string Run(std::string_view text) { return Format(text, true, nullptr, 0); }

 private:
  std::string FieldText(size_t n) const {
    if (n > record_.count()) return std::string();
    const Field& f = record_.at(static_cast<unsigned>(n));
    switch (f.kind) {
      case Field::Kind::kInteger: return std::to_string(f.integer);
      case Field::Kind::kString: return f.text;
      default: return std::string();
    }
  }

  // The ] closing the [ at `open`, counting nesting; a backslash keeps the
  // next character from counting. npos when it is never closed.
  static size_t Closing(std::string_view text, size_t open) {
    int depth = 0;
    for (size_t i = open; i < text.size(); ++i) {
      if (text[i] == '\\') {
        ++i;
      } else if (text[i] == '[') {
        ++depth;
      } else if (text[i] == ']' && --depth == 0) {
        return i;
      }
    }
    return std::string_view::npos;
  }

  // [content]: a field number after its own references are resolved, or
  // kept as written.
  std::string Bracket(std::string_view content, bool groups, GroupFacts* facts, int depth) {
    // An empty group inside brackets leaves what stands before it unread.
    const size_t empty_group = content.find("{}");
    std::string inner = empty_group == std::string_view::npos
                            ? Format(content, groups, nullptr, depth + 1)
                            : std::string(content.substr(0, empty_group)) +
                                  Format(content.substr(empty_group + 2), groups, nullptr, depth + 1);
    // Braces inside the brackets take the reference out of play.
    const bool number = content.find('{') == std::string_view::npos && !inner.empty() &&
                        inner.size() <= 9 && inner.find_first_not_of("0123456789") == std::string::npos;
    if (!number) {
      if (facts != nullptr) facts->other = true;
      return "[" + inner + "]";
    }
    const size_t n = std::stoul(inner);
    std::string value;
    if (n == 0) {
      const Field& f = record_.at(0);
      value = f.kind == Field::Kind::kString ? f.text : std::string();
    } else {
      value = FieldText(n);
    }
    if (facts != nullptr) {
      facts->field = true;
      facts->empty_field = facts->empty_field || value.empty();
    }
    return value;
  }

  // `groups` false: braces are plain characters (inside a group, and
  // after a {{ that is never closed by }}).
  std::string Format(std::string_view text, bool groups, GroupFacts* facts, int depth) {
    if (depth > kMaxDepth) return std::string(text);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '[') {
        const size_t close = Closing(text, i);
        // An unclosed bracket: nothing from it on is a reference.
        if (close == std::string_view::npos) return out.append(text.substr(i));
        out += Bracket(text.substr(i + 1, close - i - 1), groups, facts, depth);
        i = close;
      } else if (c == '{' && groups) {
        if (i + 1 < text.size() && text[i + 1] == '{') {
          // {{ ... up to the first }} comes to nothing; without a }} the
          // rest is text.
          const size_t close = text.find("}}", i + 2);
          if (close == std::string_view::npos) return out + Format(text.substr(i), false, facts, depth + 1);
          i = close + 1;
          continue;
        }
        // A group ends at the first }, whatever braces it holds.
        const size_t close = text.find('}', i + 1);
        if (close == std::string_view::npos) return out + Format(text.substr(i), false, facts, depth + 1);
        const std::string_view group = text.substr(i + 1, close - i - 1);
        GroupFacts inner;
        const std::string value = Format(group, false, &inner, depth + 1);
        if (inner.other || (!inner.field && !group.empty())) {
          out += "{" + value + "}";  // unresolved, or plain text: as written
        } else if (!inner.empty_field) {
          out += value;
        }
        i = close;
      } else {
        out += c;
      }
    }
    return out;
  }

  const Record& record_;
};

}  // namespace

std::string FormatRecordWithoutSession(const Record& record) {
  const Field& tmpl = record.at(0);
  if (tmpl.kind == Field::Kind::kInteger) return std::to_string(tmpl.integer);
  if (tmpl.kind != Field::Kind::kString || tmpl.text.empty()) {
    std::string out;
    for (unsigned i = 1; i <= record.count(); ++i) {
      const Field& f = record.at(i);
      std::string value;
      if (f.kind == Field::Kind::kInteger) value = std::to_string(f.integer);
      if (f.kind == Field::Kind::kString) value = f.text;
      out += std::to_string(i) + ": " + value + " ";
    }
    return out;
  }
  return Formatter(record).Run(tmpl.text);
}

}  // namespace msi::api
