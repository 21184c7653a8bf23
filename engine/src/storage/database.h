// A package database: the compound file, its string pool, the catalog of
// tables (_Tables, _Columns) and the tables themselves, decoded when a
// statement first needs them. The virtual tables _Tables, _Columns,
// _Streams and _Storages are served from the same interface.
//
// Changes stay in memory until Commit, which writes a whole new file and
// renames it over the package (see commit.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cfb/compound_file.h"
#include "cfb/compound_file_reader.h"
#include "status.h"
#include "storage/string_pool.h"
#include "storage/table.h"
#include "storage/writer_lock.h"

namespace msi {

// A stream's bytes, shared between the database and records that hold it.
using StreamBytes = std::shared_ptr<const std::vector<uint8_t>>;

enum class OpenMode { kReadOnly, kTransact, kDirect, kCreate, kCreateDirect };

struct OpenOptions {
  OpenMode mode = OpenMode::kReadOnly;
  std::string output_path;  // commit writes here instead of the package
};

// Where the bytes of a stream are: an entry of the file, or memory.
struct StreamLocation {
  std::optional<uint32_t> entry;
  StreamBytes bytes;
  uint64_t size = 0;
};

class Database {
 public:
  static Result<std::shared_ptr<Database>> Open(const std::string& path,
                                                const OpenOptions& options = {});

  StringPool& strings() { return *strings_; }
  const std::string& path() const { return path_; }
  bool read_only() const { return options_.mode == OpenMode::kReadOnly; }

  // Names from _Tables, in stored order.
  const std::vector<std::string>& table_names() const { return table_names_; }
  // Includes the virtual tables.
  const TableSchema* Schema(const std::string& name) const;
  Result<Table*> GetTable(const std::string& name);
  static bool IsCatalogTable(const std::string& name);

  // ---- streams ----
  // The stream behind a binary cell (table + "." + key values), or the
  // named stream of _Streams; nullopt when there is none.
  std::optional<StreamLocation> StreamForCell(const Table& table, size_t row, size_t col);
  std::optional<StreamLocation> FindStream(const std::string& name);
  // A system stream (\005SummaryInformation) under its plain stored name,
  // as the system reads it, pending changes first.
  std::optional<StreamLocation> FindPlainStream(const std::string& name);
  Result<StreamBytes> ReadStream(const StreamLocation& where) const;
  // The stream's runs in the file, to read it in pieces without loading
  // it; null when it is in memory or small (then ReadStream it).
  Result<std::shared_ptr<const cfb::StreamExtents>> StreamPieces(const StreamLocation& where) const;
  // Adds or replaces, or removes, a stream of the root storage by its
  // (decoded) name.
  void PutStream(const std::string& name, StreamBytes bytes);
  // ERROR_FUNCTION_FAILED when the name cannot be stored in the file (too
  // long once compressed, or holding a character the format forbids).
  static Status CheckStreamName(const std::string& name);
  void RemoveStream(const std::string& name);
  // The file the database was read from (null for a new one), for the
  // sub-storages of embedded transforms.
  const std::shared_ptr<const cfb::CompoundFileReader>& file() const { return cfb_; }
  // The name of a binary cell's stream.
  std::string CellStreamName(const Table& table, size_t row);

  // ---- changes (all in memory until Commit) ----
  Status CreateTable(TableSchema schema);
  Status DropTable(const std::string& name);
  Status AddColumn(const std::string& table, const Column& column);
  // ALTER TABLE ... HOLD and FREE (table_holds.cpp): a count per table;
  // the FREE that brings it to zero removes the table's temporary columns,
  // and the table itself when all its columns are temporary.
  Status HoldTable(const std::string& table);
  Status FreeTable(const std::string& table);
  void MarkChanged() { changed_ = true; }
  // Refreshes the rows of _Tables, _Columns and _Streams after a change.
  void RefreshCatalogViews();

  // Writes the database (see OpenOptions); a no-op for read-only
  // databases and when nothing changed. ERROR_FILE_INVALID, with nothing
  // written, when the file was changed or replaced by another program
  // since it was opened (or last committed).
  Status Commit();

 private:
  Database() = default;
  Status LoadCatalog();
  Result<cfb::Bytes> ReadTableStream(const std::string& table, bool* present) const;
  std::unique_ptr<Table> BuildStreamsTable(bool storages);
  std::unique_ptr<Table> BuildTablesTable();
  std::unique_ptr<Table> BuildColumnsTable();
  std::string KeyText(const Table& table, size_t row);
  // Whether a pending stream change supersedes the file's entry `stored`
  // of that (decoded) name.
  bool ReplacedByChange(const std::string& name, const std::u16string& stored) const;
  // Everything Commit writes, as a tree of storages and streams.
  Result<cfb::StorageTree> BuildFileTree();
  Status CopyStorage(uint32_t entry, cfb::StorageTree* out) const;
  // Whether the table's rows and columns are still the ones its stream
  // holds, so that a commit can carry the stream over.
  bool UnchangedSinceLoad(const std::string& name) const;

  // Tables decoded from the file, with their generation then.
  struct Loaded {
    const Table* table = nullptr;
    uint64_t generation = 0;
  };
  std::map<std::string, Loaded> as_loaded_;

  std::string path_;
  OpenOptions options_;
  std::shared_ptr<const cfb::CompoundFileReader> cfb_;  // null for a new database
  std::unique_ptr<StringPool> strings_;
  // The string reference width of the file read (cfb_), which commits
  // do not change: tables decoded later still come from that file.
  unsigned ref_width_ = 2;
  std::vector<std::string> table_names_;
  std::map<std::string, TableSchema> schemas_;
  std::map<std::string, std::unique_ptr<Table>> tables_;
  std::set<std::string> dropped_tables_;
  std::map<std::string, int> holds_;
  Status RemoveTemporaryColumns(const std::string& table);
  std::vector<std::unique_ptr<Table>> dropped_;  // kept alive for open views
  // Streams added or replaced (bytes) or removed (null), by decoded name.
  std::map<std::string, StreamBytes> stream_changes_;
  bool changed_ = false;
  // A database that may write holds the lock of the file it writes (see
  // writer_lock.h) and the stamp of that file as it was opened or last
  // committed: a commit finding another file there writes nothing.
  std::unique_ptr<WriterLock> writer_lock_;
  cfb::FileStamp target_stamp_;
};

// Fixed layouts of the tables that describe the others.
const TableSchema& TablesSchema();
const TableSchema& ColumnsSchema();
const TableSchema& StreamsSchema();
const TableSchema& StoragesSchema();

// The name a stream of the root storage is stored under.
std::u16string StoredStreamName(const std::string& name);

// The root storage class of installer databases.
const cfb::Clsid& PackageClsid();

}  // namespace msi
