// MsiFormatRecord without an install session: the template in field 0
// with its field references [n] substituted and its {...} groups resolved.
// With no session there are no properties, files or components, so every
// other reference ([Property], [#file], [$component], [!file], [%ENV],
// [\x], [~]) stays as written.
#pragma once

#include <string>

#include "api/record.h"

namespace msi::api {

// UTF-8 in and out. A null (or empty) template lists the fields:
// "1: value 2: value ... ".
std::string FormatRecordWithoutSession(const Record& record);

}  // namespace msi::api
