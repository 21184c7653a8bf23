// Exporting the table name _ForceCodepage writes the archive that holds
// only the package's codepage (the SDK's MsiDatabaseExport page).
#include "support.h"

namespace ts {
namespace {

TEST(ArchiveFaults, ForceCodepageExportsTheCodepage) {
  TempDir dir;
  WriteText(dir / "cp.idt", "\r\n\r\n1251\t_ForceCodepage\r\n");
  fs::path p = dir / "p.msi";
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "cp.idt"), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  fs::path out = dir / "out";
  fs::create_directory(out);
  Handle db;
  ASSERT_EQ(Open(p, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseExportA(db, "_ForceCodepage", out.c_str(), "cp.idt"), ERROR_SUCCESS);
  EXPECT_EQ(ReadText(out / "cp.idt"), "\r\n\r\n1251\t_ForceCodepage\r\n");
}

}  // namespace
}  // namespace ts
