// Where a package keeps conditions: the columns its _Validation table gives
// the Condition category, or, without _Validation, the standard tables'.
#pragma once

#include <set>
#include <string>
#include <utility>

#include "evaluator.h"

namespace msivalidate {

using ColumnName = std::pair<std::string, std::string>;  // table, column

// `*described` says whether _Validation named them.
std::set<ColumnName> ConditionColumns(Context& ctx, bool* described);

// A character of a property, component or feature name in a condition.
bool IsConditionNameChar(char c);

}  // namespace msivalidate
