// The package's shared string table (_StringPool / _StringData): ids,
// bytes in the package codepage, reference counts.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cfb/compound_file.h"
#include "status.h"
#include "text.h"

namespace msi {

class StringPool {
 public:
  // Decodes the two streams; ERROR_INVALID_DATA when they disagree.
  static Result<std::unique_ptr<StringPool>> Load(std::span<const uint8_t> pool, cfb::Bytes data);
  static Result<std::unique_ptr<StringPool>> Load(std::span<const uint8_t> pool,
                                                  std::vector<uint8_t> data) {
    return Load(pool, cfb::Bytes(std::make_shared<const std::vector<uint8_t>>(std::move(data))));
  }
  static std::unique_ptr<StringPool> CreateEmpty(int codepage);

  int codepage() const { return codepage_; }
  // The header's request for 3-byte references.
  bool long_refs_flag() const { return long_refs_; }
  // One past the highest id (ids 1..size()-1 may be in use).
  uint32_t size() const { return static_cast<uint32_t>(entries_.size()); }
  bool IsUsed(uint32_t id) const { return id > 0 && id < entries_.size() && entries_[id].used(); }
  std::string_view Bytes(uint32_t id) const {
    return IsUsed(id) ? entries_[id].bytes() : std::string_view();
  }
  uint32_t RefCount(uint32_t id) const { return IsUsed(id) ? entries_[id].refs : 0; }
  // The string data as loaded, and where in it an id's bytes lie (nullopt
  // for strings added or re-encoded since), so that a commit can write
  // the strings that stayed without copying them.
  const cfb::Bytes& loaded_data() const { return loaded_; }
  std::optional<size_t> LoadedOffset(uint32_t id) const {
    if (!IsUsed(id) || loaded_.empty()) return std::nullopt;
    const char* base = reinterpret_cast<const char*>(loaded_.data());
    const char* p = entries_[id].data;
    // std::less orders pointers into different objects too.
    if (std::less<const char*>()(p, base) || std::less<const char*>()(base + loaded_.size(), p)) {
      return std::nullopt;
    }
    return static_cast<size_t>(p - base);
  }
  // The string as UTF-8; empty for unused ids. ASCII text is the stored
  // bytes themselves; other text is converted once, then cached. The view
  // stays valid while the id keeps its string.
  std::string_view Utf8(uint32_t id);
  // The lowest id holding exactly this text; 0 when there is none.
  uint32_t Find(std::string_view utf8);

  // Adds a reference to the text, creating an id (the lowest free one)
  // when needed. Persistent references are counted in the pool written at
  // commit; others (temporary rows, stream names) only keep the id alive.
  // Text the package codepage cannot hold is kept as UTF-8 in memory, as
  // the installer keeps all text; Commit refuses to write it (see
  // Unencodable). nullopt only when no converter exists at all, or for
  // text longer than a pool entry can describe.
  std::optional<uint32_t> AddRef(std::string_view utf8, bool persistent);
  // True for an id whose text has no form in the package codepage.
  bool Unencodable(uint32_t id) const {
    return !unencodable_ids_.empty() && IsUsed(id) && unencodable_ids_.count(id) != 0;
  }
  // Drops a reference. Ids stay taken until the next commit recounts the
  // references of every table (SetCounts), so a string that loses its last
  // reference in one table but is still used by another that was never
  // decoded keeps its id.
  void Release(uint32_t id, bool persistent);
  // Sets the persistent counts to the ones a commit found; frees the ids
  // nothing refers to any more, so that later strings can reuse them.
  void SetCounts(const std::vector<uint32_t>& counts);
  CodepageConverter& converter() { return *converter_; }
  // Changes the codepage, re-encoding every string (text the new codepage
  // cannot hold becomes unencodable); false when the codepage is unknown.
  bool SetCodepage(int codepage);

 private:
  // Sixteen bytes: a large package has a hundred thousand strings, and
  // every byte here is paged in when it opens.
  struct Entry {
    const char* data = nullptr;  // into loaded_ or added_, which never move; null: free
    uint32_t size = 0;
    uint32_t refs = 0;  // persistent references
    bool used() const { return data != nullptr; }
    std::string_view bytes() const { return {data, size}; }
  };
  void SetBytes(Entry& e, std::string_view bytes) {
    e.data = bytes.empty() ? kEmptyText : bytes.data();
    e.size = static_cast<uint32_t>(bytes.size());
  }
  static constexpr char kEmptyText[1] = "";
  // Rare, so kept aside: non-persistent references, and the ids whose
  // bytes are UTF-8 because the codepage has no form for them.
  std::unordered_map<uint32_t, uint32_t> temp_refs_;
  std::unordered_set<uint32_t> unencodable_ids_;
  explicit StringPool(int codepage)
      : codepage_(codepage), converter_(std::make_unique<CodepageConverter>(codepage)) {}
  void IndexAll();

  int codepage_;
  bool long_refs_ = false;
  std::unique_ptr<CodepageConverter> converter_;
  std::vector<Entry> entries_;
  uint32_t free_hint_ = 1;  // no id below this one is free
  cfb::Bytes loaded_;              // the string data as read
  std::deque<std::string> added_;  // strings added since
  std::unordered_map<uint32_t, std::string> converted_;  // non-ASCII text as UTF-8
  // Unencodable strings by their UTF-8 text; kept out of the byte index so
  // they never match bytes of the codepage.
  std::unordered_map<std::string, uint32_t> unencodable_;
  uint32_t NewEntry(std::string bytes, bool unencodable);
  // Open-addressing hash index from bytes to the lowest id holding them:
  // one flat array, built on the first lookup (a node-based map costs more
  // to build and free than a whole large package takes to open).
  std::vector<uint32_t> slots_;  // 0 empty, kTombstone removed, else an id
  size_t slots_filled_ = 0;      // ids and tombstones
  uint32_t IndexFind(std::string_view bytes) const;
  void IndexInsert(uint32_t id);
  void IndexErase(uint32_t id);
  void IndexRebuild(size_t capacity);
  bool indexed_ = false;
  // Lookups answered by a scan before the index is worth building.
  unsigned scans_left_ = 2;
  uint32_t ScanFind(std::string_view bytes) const;
  uint32_t LookUp(std::string_view bytes);
  // The last Find and the last AddRef, for statements that look up or
  // store one constant per row; valid while no string has come or gone
  // since (`changes_`).
  uint64_t changes_ = 0;
  uint64_t found_at_ = ~uint64_t{0}, added_at_ = ~uint64_t{0};
  std::string found_text_, added_text_;
  uint32_t found_id_ = 0, added_id_ = 0;
};

}  // namespace msi
