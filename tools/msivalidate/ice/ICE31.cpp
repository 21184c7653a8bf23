// ICE31: the text styles that Control texts open with ("{\Style}" or
// "{&Style}") and the DefaultUIFont property name rows of TextStyle.
#include <string_view>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr size_t kMaxStyleName = 72;  // TextStyle keys are identifiers of at most 72

bool TagAt(std::string_view text, size_t i) {
  return i + 1 < text.size() && text[i] == '{' && (text[i + 1] == '\\' || text[i + 1] == '&');
}

// Where a later style tag starts, or npos.
size_t NextTag(std::string_view text, size_t from) {
  for (size_t i = text.find('{', from); i != std::string_view::npos; i = text.find('{', i + 1))
    if (TagAt(text, i)) return i;
  return std::string_view::npos;
}

void Run(Context& ctx) {
  const Table* control = ctx.Read("Control");
  const Table* styles = ctx.Read("TextStyle");
  const Table* property = ctx.Read("Property");
  if (property && property->Has("Value"))
    if (const Row* row = property->Find("DefaultUIFont")) {
      const std::string font = property->Text(*row, "Value");
      if (!styles || !styles->Find(font))
        ctx.Report(Severity::Error, *property, "Value", *row,
                   "The DefaultUIFont property names TextStyle " + font +
                       ", which is not in the TextStyle table.");
    }
  if (!control || !control->Has("Text")) return;
  for (const Row& row : control->rows) {
    if (control->Text(row, "Type") == "ScrollableText") continue;  // its text is RTF
    const std::string text = control->Text(row, "Text");
    const std::string name = control->Text(row, "Dialog_") + "." + control->Text(row, "Control");
    size_t after = 0;
    if (TagAt(text, 0)) {
      const size_t close = text.find('}');
      if (close == std::string::npos) {
        ctx.Report(Severity::Error, *control, "Text", row,
                   "Control " + name + " is missing closing brace in text style.");
        continue;
      }
      const std::string style = text.substr(2, close - 2);
      after = close + 1;
      if (style.size() > kMaxStyleName)
        ctx.Report(Severity::Error, *control, "Text", row,
                   "Control " + name + " specifies a text style that is too long to be valid.");
      else if (!styles)
        ctx.Report(Severity::Error, *control, "Text", row,
                   "Control " + name + " uses TextStyle " + style +
                       ", but the package has no TextStyle table.");
      else if (!styles->Find(style))
        ctx.Report(Severity::Error, *control, "Text", row,
                   "Control " + name + " uses undefined TextStyle " + style + ".");
      if (TagAt(text, after)) {
        ctx.Report(Severity::Warning, *control, "Text", row,
                   "Control " + name + " has multiple text style tags. Only the first is used.");
        continue;
      }
    }
    if (NextTag(text, after) != std::string::npos)
      ctx.Report(Severity::Warning, *control, "Text", row,
                 "Text Style tag in " + name +
                     " has no effect. Do you really want it to appear as text?");
  }
}

const Registration kICE31("ICE31", Run);

}  // namespace
}  // namespace msivalidate
