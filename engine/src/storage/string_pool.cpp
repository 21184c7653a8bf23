#include "storage/string_pool.h"

#include <functional>

namespace msi {
namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

Result<std::unique_ptr<StringPool>> StringPool::Load(std::span<const uint8_t> pool, cfb::Bytes data) {
  if (pool.size() < 4) {
    return std::unique_ptr<StringPool>(new StringPool(0));
  }
  const uint32_t header = static_cast<uint32_t>(Le16(pool.data())) |
                          (static_cast<uint32_t>(Le16(pool.data() + 2)) << 16);
  std::unique_ptr<StringPool> sp(new StringPool(static_cast<int>(header & 0x7FFFFFFF)));
  sp->long_refs_ = (header & 0x80000000u) != 0;
  sp->loaded_ = std::move(data);
  const std::string_view all(reinterpret_cast<const char*>(sp->loaded_.data()), sp->loaded_.size());
  const size_t count = pool.size() / 4;
  // Room for the strings a session adds, so the first ones do not move
  // every entry.
  sp->entries_.reserve(count + count / 8 + 64);
  sp->entries_.emplace_back();  // id 0: null
  size_t offset = 0;
  for (size_t i = 1; i < count; ++i) {
    uint32_t len = Le16(pool.data() + 4 * i);
    uint32_t refs = Le16(pool.data() + 4 * i + 2);
    if (len == 0 && refs != 0) {
      // A string of 64 KiB or more: this entry holds the high word of its
      // length, the next one the low word and the count.
      if (i + 1 >= count) return Status::Error(13, "string pool ends inside a long string");
      ++i;
      len = (refs << 16) | Le16(pool.data() + 4 * i);
      refs = Le16(pool.data() + 4 * i + 2);
    }
    Entry e;
    if (len > 0 || refs > 0) {
      if (len > all.size() - offset) {
        return Status::Error(13, "string pool describes more bytes than the string data holds");
      }
      sp->SetBytes(e, all.substr(offset, len));
      e.refs = refs;
      offset += len;
    }
    sp->entries_.push_back(e);
  }
  return sp;
}

std::unique_ptr<StringPool> StringPool::CreateEmpty(int codepage) {
  std::unique_ptr<StringPool> sp(new StringPool(codepage));
  sp->entries_.emplace_back();
  return sp;
}

std::string_view StringPool::Utf8(uint32_t id) {
  if (!IsUsed(id)) return {};
  const std::string_view bytes = entries_[id].bytes();
  if (Unencodable(id)) return bytes;
  bool ascii = true;
  for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return bytes;
  auto it = converted_.find(id);
  if (it == converted_.end()) it = converted_.emplace(id, converter_->ToUtf8(bytes)).first;
  return it->second;
}

namespace {
constexpr uint32_t kTombstone = 0xFFFFFFFFu;
size_t HashBytes(std::string_view s) { return std::hash<std::string_view>()(s); }
}  // namespace

void StringPool::IndexRebuild(size_t capacity) {
  size_t n = 16;
  while (n < capacity * 2) n <<= 1;
  slots_.assign(n, 0);
  slots_filled_ = 0;
  for (uint32_t id = 1; id < entries_.size(); ++id) {
    if (entries_[id].used() && !Unencodable(id)) IndexInsert(id);
  }
}

uint32_t StringPool::IndexFind(std::string_view bytes) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = HashBytes(bytes) & mask;; i = (i + 1) & mask) {
    const uint32_t id = slots_[i];
    if (id == 0) return 0;
    if (id != kTombstone && entries_[id].bytes() == bytes) return id;
  }
}

void StringPool::IndexInsert(uint32_t id) {
  if ((slots_filled_ + 1) * 2 > slots_.size()) {
    IndexRebuild(entries_.size());  // also inserts `id`, which is in use
    return;
  }
  const std::string_view bytes = entries_[id].bytes();
  const size_t mask = slots_.size() - 1;
  for (size_t i = HashBytes(bytes) & mask;; i = (i + 1) & mask) {
    const uint32_t other = slots_[i];
    if (other == 0) {
      slots_[i] = id;
      ++slots_filled_;
      return;
    }
    if (other != kTombstone && entries_[other].bytes() == bytes) {
      if (id < other) slots_[i] = id;  // the lowest id answers lookups
      return;
    }
  }
}

void StringPool::IndexErase(uint32_t id) {
  const std::string_view bytes = entries_[id].bytes();
  const size_t mask = slots_.size() - 1;
  for (size_t i = HashBytes(bytes) & mask;; i = (i + 1) & mask) {
    if (slots_[i] == 0) return;
    if (slots_[i] == id) {
      slots_[i] = kTombstone;
      return;
    }
  }
}

void StringPool::IndexAll() {
  IndexRebuild(entries_.size());
  indexed_ = true;
}

uint32_t StringPool::ScanFind(std::string_view bytes) const {
  for (uint32_t id = 1; id < entries_.size(); ++id) {
    const Entry& e = entries_[id];
    if (e.size == bytes.size() && e.used() && e.bytes() == bytes && !Unencodable(id)) return id;
  }
  return 0;
}

uint32_t StringPool::LookUp(std::string_view bytes) {
  if (indexed_) return IndexFind(bytes);
  // A statement that sets one constant looks up one text: a scan costs a
  // fraction of building the index over every string of the package.
  if (scans_left_ > 0) {
    --scans_left_;
    return ScanFind(bytes);
  }
  IndexAll();
  return IndexFind(bytes);
}

uint32_t StringPool::Find(std::string_view utf8) {
  if (found_at_ == changes_ && found_text_ == utf8) return found_id_;
  uint32_t id = 0;
  if (auto bytes = converter_->FromUtf8(utf8)) {
    id = LookUp(*bytes);
  } else {
    auto it = unencodable_.find(std::string(utf8));
    id = it == unencodable_.end() ? 0 : it->second;
  }
  found_text_.assign(utf8);
  found_id_ = id;
  found_at_ = changes_;
  return id;
}

uint32_t StringPool::NewEntry(std::string bytes, bool unencodable) {
  // Every id below the hint is taken; ids only free up at a commit.
  uint32_t id = 0;
  for (uint32_t i = free_hint_; i < entries_.size(); ++i) {
    if (!entries_[i].used()) { id = i; break; }
  }
  free_hint_ = id == 0 ? static_cast<uint32_t>(entries_.size()) : id + 1;
  if (id == 0) {
    id = static_cast<uint32_t>(entries_.size());
    entries_.emplace_back();
  }
  ++changes_;
  added_.push_back(std::move(bytes));
  entries_[id] = Entry();
  SetBytes(entries_[id], added_.back());
  temp_refs_.erase(id);
  converted_.erase(id);
  if (unencodable) {
    unencodable_ids_.insert(id);
    unencodable_.emplace(added_.back(), id);
  } else {
    unencodable_ids_.erase(id);
    if (indexed_) IndexInsert(id);
  }
  return id;
}

std::optional<uint32_t> StringPool::AddRef(std::string_view utf8, bool persistent) {
  // Lengths are kept in 32 bits, as the pool stores them.
  if (utf8.size() > 0xFFFFFFFFu / 4) return std::nullopt;
  uint32_t id = 0;
  if (added_at_ == changes_ && added_text_ == utf8) {
    id = added_id_;  // the same text for every row of a statement
  } else {
    if (auto bytes = converter_->FromUtf8(utf8)) {
      id = LookUp(*bytes);
      if (id == 0) id = NewEntry(std::move(*bytes), false);
    } else {
      auto it = unencodable_.find(std::string(utf8));
      id = it != unencodable_.end() ? it->second : NewEntry(std::string(utf8), true);
    }
    added_text_.assign(utf8);
    added_id_ = id;
    added_at_ = changes_;
  }
  if (persistent) ++entries_[id].refs;
  else ++temp_refs_[id];
  return id;
}

void StringPool::Release(uint32_t id, bool persistent) {
  if (!IsUsed(id)) return;
  Entry& e = entries_[id];
  if (persistent && e.refs > 0) --e.refs;
  if (!persistent) {
    auto it = temp_refs_.find(id);
    if (it != temp_refs_.end() && --it->second == 0) temp_refs_.erase(it);
  }
}

void StringPool::SetCounts(const std::vector<uint32_t>& counts) {
  ++changes_;
  free_hint_ = 1;
  for (uint32_t id = 1; id < entries_.size(); ++id) {
    Entry& e = entries_[id];
    if (!e.used()) continue;
    e.refs = id < counts.size() ? counts[id] : 0;
    if (e.refs == 0 && temp_refs_.count(id) == 0) {
      if (Unencodable(id)) {
        unencodable_.erase(std::string(e.bytes()));
        unencodable_ids_.erase(id);
      } else if (indexed_) {
        IndexErase(id);
      }
      e = Entry();
      converted_.erase(id);
    }
  }
}

bool StringPool::SetCodepage(int codepage) {
  if (codepage == codepage_) return true;
  if (codepage != 0 && !IsSupportedCodepage(codepage)) return false;
  ++changes_;
  auto converter = std::make_unique<CodepageConverter>(codepage);
  // The text stays what it was; only its bytes change.
  for (uint32_t id = 1; id < entries_.size(); ++id) {
    Entry& e = entries_[id];
    if (!e.used()) continue;
    bool ascii = !Unencodable(id);
    for (char c : e.bytes()) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) continue;
    std::string utf8(Utf8(id));
    auto bytes = converter->FromUtf8(utf8);
    if (bytes) unencodable_ids_.erase(id);
    else unencodable_ids_.insert(id);
    added_.push_back(bytes ? std::move(*bytes) : std::move(utf8));
    SetBytes(e, added_.back());
  }
  codepage_ = codepage;
  converter_ = std::move(converter);
  converted_.clear();
  unencodable_.clear();
  for (uint32_t id = 1; id < entries_.size(); ++id) {
    if (Unencodable(id)) unencodable_.emplace(entries_[id].bytes(), id);
  }
  indexed_ = false;
  return true;
}

}  // namespace msi
