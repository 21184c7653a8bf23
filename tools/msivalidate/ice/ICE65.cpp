// ICE65: an Environment value added to an existing one ("[~];value" appends,
// "value;[~]" prepends) has a separator that cannot be mistaken for part of
// the value.
#include <cctype>

#include "evaluator.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* environment = ctx.Read("Environment");
  if (!environment) return;
  const std::string marker = "[~]";
  for (const Row& row : environment->rows) {
    const std::string value = environment->Text(row, "Value");
    if (value.size() <= marker.size()) continue;
    char separator = 0;
    std::string rest;
    if (value.compare(0, marker.size(), marker) == 0) {
      separator = value[marker.size()];
      rest = value.substr(marker.size() + 1);
    } else if (value.compare(value.size() - marker.size(), marker.size(), marker) == 0) {
      separator = value[value.size() - marker.size() - 1];
      rest = value.substr(0, value.size() - marker.size() - 1);
    } else {
      continue;
    }
    const std::string name = environment->Text(row, "Environment");
    if (std::isalnum(static_cast<unsigned char>(separator)))
      ctx.Report(Severity::Warning, *environment, "Value", row,
                 "The environment variable '" + name + "' has an alphanumeric separator");
    if (!rest.empty() && (rest.front() == separator || rest.back() == separator))
      ctx.Report(Severity::Error, *environment, "Value", row,
                 "The environment variable '" + name + "' has a separator beginning or ending its value.");
  }
}

const Registration kICE65("ICE65", Run);

}  // namespace
}  // namespace msivalidate
