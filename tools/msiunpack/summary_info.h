// The summary information stream is a property set; msiunpack needs only
// its word count (property 15), which says whether the package's files are
// compressed by default and whether the source uses short names.
#pragma once

#include <optional>
#include <vector>

namespace msiunpack {

constexpr int kWordCountShortNames = 1;
constexpr int kWordCountCompressed = 2;

// The word count of a property set stream, or nothing when the stream is
// damaged or lacks the property.
std::optional<int> SummaryWordCount(const std::vector<unsigned char>& stream);

}  // namespace msiunpack
