// Streams read in pieces from where they lie in the file: every piece,
// at any offset and of any length, is the same as the bytes read whole; and
// fields that have no stream to read.
#include <gtest/gtest.h>

#include "support.h"

namespace {

using ts::Bytes;
using ts::Handle;

// A piece read with MsiExtRecordReadStreamAt, or "error N".
std::string PieceAt(MSIHANDLE record, unsigned long long offset, DWORD length, Bytes* out) {
  out->assign(length, 0xEE);
  DWORD n = length;
  const UINT r = MsiExtRecordReadStreamAt(record, 2, offset, reinterpret_cast<char*>(out->data()), &n);
  if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
  out->resize(n);
  return "";
}

TEST(StreamPieces, EveryPieceOfEveryCorpusStreamMatchesTheWholeStream) {
  REQUIRE_CORPUS();
  for (const auto& package : ts::CorpusPackages()) {
    SCOPED_TRACE(package.filename().string());
    Handle db, view;
    ASSERT_EQ(ts::Open(package, MSIDBOPEN_READONLY_A, db), 0u);
    ASSERT_EQ(MsiDatabaseOpenViewA(db, "SELECT `Name`, `Data` FROM `_Streams`", view.out()), 0u);
    ASSERT_EQ(MsiViewExecute(view, 0), 0u);
    for (Handle row; MsiViewFetch(view, row.out()) == ERROR_SUCCESS;) {
      const Bytes whole = ts::FieldStream(row, 2);
      const uint64_t size = whole.size();
      SCOPED_TRACE(ts::FieldText(row, 1) + ", " + std::to_string(size) + " bytes");
      // Sector and mini sector edges, both ends, and past the end.
      for (uint64_t offset : std::initializer_list<uint64_t>{0, 1, 63, 64, 511, 512, 4095, 4096, size / 2, size - 1,
                                                             size, size + 100}) {
        if (offset > size + 100) continue;  // size - 1 of an empty stream
        for (DWORD length : {1u, 100u, 5000u, 70000u}) {
          Bytes piece;
          ASSERT_EQ(PieceAt(row, offset, length, &piece), "") << offset << "+" << length;
          const uint64_t expected = offset < size ? std::min<uint64_t>(length, size - offset) : 0;
          ASSERT_EQ(piece.size(), expected) << offset << "+" << length;
          ASSERT_TRUE(std::equal(piece.begin(), piece.end(), whole.begin() + static_cast<ptrdiff_t>(offset)))
              << offset << "+" << length;
        }
      }
    }
  }
}

TEST(StreamPieces, SequentialPositionAndFieldsWithoutAStream) {
  Handle record(MsiCreateRecord(2));
  const std::string data = "0123456789";
  ASSERT_EQ(MsiExtRecordSetStreamData(record, 2, data.data(), static_cast<DWORD>(data.size())), 0u);
  char buffer[4];
  DWORD n = 3;
  ASSERT_EQ(MsiRecordReadStream(record, 2, buffer, &n), 0u);
  Bytes piece;
  ASSERT_EQ(PieceAt(record, 7, 10, &piece), "");
  EXPECT_EQ(std::string(piece.begin(), piece.end()), "789");
  n = 3;
  ASSERT_EQ(MsiRecordReadStream(record, 2, buffer, &n), 0u);
  EXPECT_EQ(std::string(buffer, n), "345");

  const struct {
    const char* what;
    MSIHANDLE record;
    UINT field;
    UINT result;
  } refused[] = {
      {"null field", record, 1, ERROR_INVALID_DATA},
      {"no such field", record, 3, ERROR_INVALID_PARAMETER},
      {"no such handle", 0, 2, ERROR_INVALID_HANDLE},
  };
  for (const auto& c : refused) {
    n = 4;
    EXPECT_EQ(MsiExtRecordReadStreamAt(c.record, c.field, 0, buffer, &n), c.result) << c.what;
  }
  // A null field has no stream: size 0 and the buffer untouched; nor has a missing file.
  char kept[] = "apple";
  n = sizeof kept;
  EXPECT_EQ(MsiRecordReadStream(record, 1, kept, &n), static_cast<UINT>(ERROR_INVALID_DATA));
  EXPECT_TRUE(n == 0 && std::string(kept) == "apple");
  EXPECT_EQ(MsiRecordSetStreamA(record, 1, "/nonexistent/file"), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
  MsiRecordSetInteger(record, 1, 5);
  n = 4;
  EXPECT_EQ(MsiExtRecordReadStreamAt(record, 1, 0, buffer, &n), static_cast<UINT>(ERROR_INVALID_DATATYPE));
}

}  // namespace
