// ICE16: ProductName is at most 63 characters long (the limit of the
// product's name in the system's list of installed programs).
#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr size_t kLimit = 63;

size_t Characters(const std::string& utf8) {
  size_t n = 0;
  for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return n;
}

void Run(Context& ctx) {
  const Table* property = ctx.Read("Property");
  if (!property) return;
  const Row* row = property->Find("ProductName");
  if (!row) return;  // ICE05's finding
  const std::string name = property->Text(*row, "Value");
  const size_t length = Characters(name);
  if (length <= kLimit) return;
  ctx.Report(Severity::Error, *property, "Value", *row,
             "ProductName: '" + name + "' is greater than 63 characters in length. Current length: " +
                 std::to_string(length));
}

const Registration kICE16("ICE16", Run);

}  // namespace
}  // namespace msivalidate
