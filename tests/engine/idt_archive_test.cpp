// Archive import failures leave nothing half-done behind.
#include <gtest/gtest.h>

#include <fstream>

#include "engine_test_util.h"

namespace enginetest {
namespace {

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(IdtArchive, AFailedImportLeavesNoTableBehind) {
  ScratchDir dir;
  WriteFile(dir.File("Dup.idt"), "K\tN\r\ns20\tI4\r\nDup\tK\r\na\t1\r\na\t2\r\n");
  WriteFile(dir.File("Ok.idt"), "K\tN\r\ns20\tI4\r\nOk\tK\r\na\t1\r\nb\t\r\n");
  Handle db;
  ASSERT_EQ(MsiOpenDatabaseA(dir.File("n.msi").c_str(), MSIDBOPEN_CREATE_A, db.out()), ERROR_SUCCESS);
  EXPECT_EQ(MsiDatabaseImportA(db.get(), dir.path().c_str(), "Dup.idt"), ERROR_FUNCTION_FAILED);
  EXPECT_EQ(MsiDatabaseImportA(db.get(), dir.path().c_str(), "Missing.idt"), ERROR_BAD_PATHNAME);
  ASSERT_EQ(MsiDatabaseImportA(db.get(), dir.path().c_str(), "Ok.idt"), ERROR_SUCCESS);
  EXPECT_EQ(Rows(db.get(), "SELECT Name FROM _Tables"), std::vector<std::string>{"Ok"});
  EXPECT_EQ(Rows(db.get(), "SELECT K, N FROM Ok"), (std::vector<std::string>{"a|1", "b|~"}));
  // Exporting into a folder that is not there says so and writes nothing.
  EXPECT_EQ(MsiDatabaseExportA(db.get(), "Ok", dir.File("nowhere").c_str(), "Ok.idt"),
            ERROR_BAD_PATHNAME);
}

}  // namespace
}  // namespace enginetest
