#include "condition/condition_syntax.h"

namespace msi::condition {

SyntaxCheck CheckSyntax(std::string_view) { return {}; }

}  // namespace msi::condition
