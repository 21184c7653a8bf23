// What a database handle refers to.
#pragma once

#include <memory>

#include "api/handle_table.h"
#include "storage/database.h"

namespace msi::api {

class DatabaseObject : public Object {
 public:
  static constexpr ObjectKind kKind = ObjectKind::kDatabase;
  explicit DatabaseObject(std::shared_ptr<Database> db) : db_(std::move(db)) {}
  ObjectKind kind() const override { return kKind; }
  const std::shared_ptr<Database>& db() const { return db_; }

 private:
  std::shared_ptr<Database> db_;
};

}  // namespace msi::api
