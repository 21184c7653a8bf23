// One installer record: a fetched row, a column-information record or a
// parameter record.
#pragma once

#include <string>

#include "MsiHandle.h"

class CMsiRecord : public CMsiHandle {
 public:
  CMsiRecord() = default;
  // A new record of `fieldCount` null fields (for '?' parameters).
  static bool Create(CMsiRecord& record, UINT fieldCount);

  UINT GetFieldCount();
  // The field as text; the empty text on any failure (code in m_nError).
  std::u16string GetString(UINT field);
  bool SetString(UINT field, const std::u16string& value);
  bool SetInteger(UINT field, int value);
  bool ClearData();
  // Copies a stream field into the file at `path`. The bytes go to a new
  // file beside it first and are renamed onto `path` only when complete, so
  // a failure leaves no partial file and a link at `path` is replaced, not
  // followed.
  bool ReadStreamToFile(UINT field, const std::u16string& path);
};
