// Damage inside a transform's streams, where the compound file stays
// valid: every byte of the string pool, the schema records and the row
// records is changed in turn, and streams are cut short. Each damaged
// transform must give a result code and, unless it applies, leave the
// database as it was.
#include <cstring>

#include "cfb/compound_file.h"
#include "cfb/compound_file_reader.h"
#include "cfb/file_image.h"
#include "transform_support.h"

namespace tf {
namespace {

struct MemorySink : msi::cfb::ByteSink {
  std::vector<uint8_t> bytes;
  msi::Status Write(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return msi::Status();
  }
};

// The transform's streams, to be written again with one of them changed.
msi::cfb::StorageTree ReadTree(const fs::path& path) {
  auto image = msi::cfb::FileImage::Map(path.string());
  auto file = msi::cfb::CompoundFileReader::Open(*image);
  msi::cfb::StorageTree tree;
  tree.clsid = (*file)->entry(0).clsid;
  for (uint32_t id : (*file)->Children(0)) {
    tree.streams.push_back({(*file)->entry(id).name, std::make_shared<const std::vector<uint8_t>>(
                                                         *(*file)->ReadStream(id))});
  }
  return tree;
}

Bytes WithStream(msi::cfb::StorageTree tree, size_t index, std::vector<uint8_t> data) {
  tree.streams[index].data = std::make_shared<const std::vector<uint8_t>>(std::move(data));
  MemorySink sink;
  EXPECT_TRUE(msi::cfb::WriteCompoundFile(tree, {}, sink).ok());
  return sink.bytes;
}

TEST(TransformMutation, EveryByteOfEveryStream) {
  TempDir dir;
  const std::vector<std::string> base = {
      "CREATE TABLE `Item` (`Key` CHAR(16) NOT NULL, `Value` CHAR(32), `Count` LONG PRIMARY KEY `Key`)",
      "INSERT INTO `Item` (`Key`, `Value`, `Count`) VALUES ('alpha', 'a', 1)",
      "INSERT INTO `Item` (`Key`, `Value`, `Count`) VALUES ('beta', 'b', 2)",
      "CREATE TABLE `Old` (`Id` SHORT NOT NULL PRIMARY KEY `Id`)"};
  std::vector<std::string> changed = base;
  changed.push_back("UPDATE `Item` SET `Value` = 'A' WHERE `Key` = 'alpha'");
  changed.push_back("DELETE FROM `Item` WHERE `Key` = 'beta'");
  changed.push_back("INSERT INTO `Item` (`Key`, `Value`) VALUES ('gamma', 'g')");
  changed.push_back("CREATE TABLE `New` (`Name` CHAR(8) NOT NULL, `Size` SHORT PRIMARY KEY `Name`)");
  changed.push_back("INSERT INTO `New` (`Name`, `Size`) VALUES ('n1', 7)");
  changed.push_back("DROP TABLE `Old`");
  changed.push_back("ALTER TABLE `Item` ADD `Extra` CHAR(4)");
  for (const auto& [path, statements] : {std::pair{dir / "base.msi", base}, std::pair{dir / "changed.msi", changed}}) {
    Handle db;
    ASSERT_EQ(Open(path, MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
    for (const auto& sql : statements) ASSERT_EQ(Exec(db, sql), ERROR_SUCCESS) << sql;
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  ASSERT_EQ(Generate(dir / "changed.msi", dir / "base.msi", dir / "t.mst"), ERROR_SUCCESS);
  const msi::cfb::StorageTree tree = ReadTree(dir / "t.mst");
  ASSERT_GE(tree.streams.size(), 6u);

  Handle db;
  ASSERT_EQ(Open(dir / "base.msi", MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  // The tables a transform may change (_TransformView aside, which
  // viewing fills).
  auto state = [&db]() {
    return Select(db, "SELECT * FROM `Item`") + Select(db, "SELECT * FROM `Old`") +
           std::to_string(MsiDatabaseIsTablePersistentA(db, "New"));
  };
  const std::string before = state();
  int failed = 0, cases = 0;
  const fs::path bad = dir / "bad.mst";
  for (size_t s = 0; s < tree.streams.size(); ++s) {
    const std::vector<uint8_t> original(tree.streams[s].data.begin(), tree.streams[s].data.end());
    for (size_t at = 0; at <= original.size(); ++at) {
      // Each byte replaced by 0, by 0xFF and by itself plus one; the stream
      // cut before it.
      std::vector<std::vector<uint8_t>> variants;
      if (at < original.size()) {
        for (uint8_t v : {uint8_t{0}, uint8_t{0xFF}, static_cast<uint8_t>(original[at] + 1)}) {
          std::vector<uint8_t> copy = original;
          copy[at] = v;
          variants.push_back(std::move(copy));
        }
      }
      variants.emplace_back(original.begin(), original.begin() + static_cast<long>(at));
      for (auto& variant : variants) {
        ++cases;
        WriteBytes(bad, WithStream(tree, s, std::move(variant)));
        for (int flags : {0, 0x3F, static_cast<int>(MSITRANSFORM_ERROR_VIEWTRANSFORM)}) {
          const UINT r = MsiDatabaseApplyTransformA(db, bad.c_str(), flags);
          if (flags == MSITRANSFORM_ERROR_VIEWTRANSFORM) {
            ASSERT_TRUE(r == ERROR_SUCCESS || r == ERROR_INSTALL_TRANSFORM_FAILURE) << r;
            continue;
          }
          if (r == ERROR_SUCCESS) {
            // The damage made another valid transform: start again.
            ASSERT_EQ(Open(dir / "base.msi", MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
            continue;
          }
          ++failed;
          ASSERT_EQ(r, ERROR_INSTALL_TRANSFORM_FAILURE) << "stream " << s << " byte " << at;
          ASSERT_EQ(state(), before) << "stream " << s << " byte " << at;
        }
      }
    }
  }
  EXPECT_GT(failed, cases / 2);
}

}  // namespace
}  // namespace tf
