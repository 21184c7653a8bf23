#include "storage/column_type.h"

namespace msi {

std::string Column::TypeText() const {
  char letter;
  const bool temp = temporary();
  switch (kind()) {
    case ValueKind::kString:
      letter = temp ? 'g' : ((type & coltype::kLocalizable) != 0 ? 'l' : 's');
      break;
    case ValueKind::kBinary:
      letter = temp ? 'o' : 'v';
      break;
    case ValueKind::kInteger:
    default:
      letter = temp ? 'j' : 'i';
      break;
  }
  if (nullable()) letter = static_cast<char>(letter - 'a' + 'A');
  unsigned width = type & coltype::kWidthMask;
  if (kind() == ValueKind::kBinary) width = 0;
  std::string out = std::to_string(width);
  out.insert(out.begin(), letter);
  return out;
}

}  // namespace msi
