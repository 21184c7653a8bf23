// Text on its way into the report page: markup escaping for values that come
// from the package or the command line, and the page's windows-1252 bytes.
#pragma once

#include <string>
#include <string_view>

namespace pellacor {

// Escapes & < > " ' so that a value shows as written and never becomes
// markup.
std::string HtmlText(std::string_view text);

// UTF-8 to windows-1252 bytes. Characters the code page lacks, and control
// characters other than tab (which would break a report line in two), become
// numeric character references; bytes that are not UTF-8 become U+FFFD.
std::string EncodeWindows1252(std::string_view utf8);

}  // namespace pellacor
