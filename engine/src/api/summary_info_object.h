// What a summary information handle refers to: the decoded properties of
// one package and where they go back to.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "api/handle_table.h"
#include "storage/database.h"
#include "storage/property_set.h"

namespace msi::api {

class SummaryInfoObject : public Object {
 public:
  static constexpr ObjectKind kKind = ObjectKind::kSummaryInfo;
  ObjectKind kind() const override { return kKind; }

  // Exactly one of the two is set: the open database the handle came
  // from, or the path of the package it was read from.
  std::shared_ptr<Database> db;
  std::string path;

  PropertySet properties;
  unsigned update_count = 0;   // distinct properties that may be set
  std::set<uint32_t> changed;  // those set so far
  bool unsaved = false;        // set since the last persist
};

// The stream the properties live in.
inline constexpr const char* kSummaryStreamName = "\005SummaryInformation";

}  // namespace msi::api
