// A transaction on a fresh small package, for the Modify and stream tests.
#pragma once

#include "statement_support.h"

namespace ts {

class ModifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "p.msi";
    MakeSmallPackage(path_);
    ASSERT_EQ(Open(path_, MSIDBOPEN_TRANSACT_A, db_), ERROR_SUCCESS);
  }
  Handle View(const std::string& sql) {
    Handle view;
    EXPECT_EQ(MsiDatabaseOpenViewA(db_, sql.c_str(), view.out()), ERROR_SUCCESS) << sql;
    EXPECT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS);
    return view;
  }
  std::string Property() { return Select(db_, "SELECT * FROM `Property`"); }

  TempDir dir_;
  fs::path path_;
  Handle db_;
};

}  // namespace ts
