// The atomic commit replaces the package by renaming a new file over it;
// when the package path is a symbolic link, the new file must replace the
// link's target, not the link (else the real package never changes and
// the link is lost).
#include "statement_support.h"

#include <sys/stat.h>
#include <unistd.h>

namespace ts {
namespace {

TEST(AtomicCommitFaults, CommitThroughASymbolicLinkChangesTheTarget) {
  TempDir dir;
  fs::create_directory(dir / "real");
  fs::path target = dir / "real" / "p.msi";
  MakeSmallPackage(target);
  fs::path link = dir / "link.msi";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  {
    Handle db;
    ASSERT_EQ(Open(link, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('ViaLink', 'yes')"), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the commit replaced the link by a file";
  EXPECT_EQ(Rows(target, "SELECT `Value` FROM `Property` WHERE `Property` = 'ViaLink'"), "Value\nyes\n")
      << "the link's target did not get the change";
  EXPECT_EQ(FolderEntries(dir / "real"), std::vector<std::string>{"p.msi"});
}

}  // namespace
}  // namespace ts
