// The value formats a _Validation row can name in its Category column,
// checked on the text alone (no table is read here).
#pragma once

#include <optional>
#include <string_view>

namespace msi::validation {

enum class Category {
  kText, kUpperCase, kLowerCase, kInteger, kDoubleInteger, kTimeDate,
  kIdentifier, kProperty, kFilename, kWildCardFilename, kPath, kPaths,
  kAnyPath, kDefaultDir, kRegPath, kFormatted, kFormattedSddlText, kTemplate,
  kCondition, kGuid, kVersion, kLanguage, kBinary, kCustomSource, kCabinet,
  kShortcut,
};

// Names compare without regard to case: packages write "Guid" as often as
// "GUID". nullopt for a name that is no category.
std::optional<Category> ParseCategory(std::string_view name);

// The MSIDBERROR a non-empty text breaks in the category, or
// MSIDBERROR_NOERROR (0).
int CheckText(Category category, std::string_view utf8);

bool IsIdentifier(std::string_view text);

}  // namespace msi::validation
