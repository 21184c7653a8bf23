// The string pool as stored (header, then one length/count pair a string)
// and its lookups as it changes. (Long strings: engine_write's commit
// limits; freed ids and text a codepage cannot hold: its statements and
// dialect cases.)
#include <gtest/gtest.h>

#include "storage/string_pool.h"

namespace msi {
namespace {

// A stored pool: the header's two words, then (length, count) pairs.
std::vector<uint8_t> Pool(std::vector<uint16_t> words) {
  std::vector<uint8_t> v;
  for (uint16_t w : words) v.push_back(static_cast<uint8_t>(w)), v.push_back(static_cast<uint8_t>(w >> 8));
  return v;
}

TEST(StringPool, DecodesIdsCountsAndTheCodepage) {
  // id 1 "abc" twice, id 2 unused, id 3 0x80 (the euro sign in 1252).
  auto sp = StringPool::Load(Pool({1252, 0, 3, 2, 0, 0, 1, 1}), {'a', 'b', 'c', 0x80});
  ASSERT_TRUE(sp.ok());
  StringPool& p = **sp;
  EXPECT_EQ(p.codepage(), 1252);
  EXPECT_FALSE(p.long_refs_flag());
  EXPECT_EQ(p.Utf8(1), "abc");
  EXPECT_EQ(p.RefCount(1), 2u);
  EXPECT_FALSE(p.IsUsed(2));
  EXPECT_EQ(p.Utf8(3), "\xE2\x82\xAC");
  EXPECT_EQ(p.Find("\xE2\x82\xAC"), 3u);
  EXPECT_EQ(p.Find("abd"), 0u);
  // Bytes that do not decode become replacement characters.
  auto utf8 = StringPool::Load(Pool({65001, 0, 2, 1}), {0x81, 'a'});
  ASSERT_TRUE(utf8.ok());
  EXPECT_EQ((*utf8)->Utf8(1), "\xEF\xBF\xBD" "a");
}

TEST(StringPool, DamageIsInvalidData) {
  // A length beyond the data; a long-string marker with no low word after it.
  for (auto words : {std::vector<uint16_t>{1252, 0, 5, 1}, std::vector<uint16_t>{1252, 0, 0, 1}}) {
    auto sp = StringPool::Load(Pool(words), {'a'});
    ASSERT_FALSE(sp.ok());
    EXPECT_EQ(sp.status().code(), 13u);
  }
}

// Lookups are answered by a scan at first and by an index later, and the
// last text looked up or stored is remembered: every path must give the
// lowest id holding the text, and none may outlive a change of the pool.
TEST(StringPool, RememberedLookupsFollowEveryChange) {
  // 1 "dup", 2 "x", 3 "dup" again (as some writers leave it), 4 free.
  auto sp = StringPool::Load(Pool({1252, 0, 3, 1, 1, 1, 3, 1, 0, 0}), {'d', 'u', 'p', 'x', 'd', 'u', 'p'});
  ASSERT_TRUE(sp.ok());
  StringPool& p = **sp;
  EXPECT_EQ(p.Find("dup"), 1u);
  EXPECT_EQ(p.Find("new"), 0u);
  EXPECT_EQ(*p.AddRef("new", true), 4u) << "the free id";
  EXPECT_EQ(p.Find("new"), 4u) << "a remembered miss outlived the new string";
  EXPECT_EQ(*p.AddRef("new", true), 4u);
  EXPECT_EQ(p.RefCount(4), 2u);
  p.SetCounts({0, 1, 1, 1, 0});
  EXPECT_FALSE(p.IsUsed(4));
  EXPECT_EQ(p.Find("new"), 0u) << "a remembered hit outlived the freed string";
  EXPECT_EQ(*p.AddRef("new", true), 4u);
  EXPECT_TRUE(p.IsUsed(4)) << "a remembered id was handed out without its string";
  for (const char* other : {"a", "b", "c", "d", "e", "f"}) EXPECT_EQ(p.Find(other), 0u);
  EXPECT_EQ(p.Find("dup"), 1u) << "the index, built by now, answers as the scan did";
  // A temporary reference keeps its string through a commit's recount.
  auto t = p.AddRef("temp", false);
  ASSERT_TRUE(t.has_value());
  p.SetCounts({0, 1, 1, 1, 1});
  EXPECT_EQ(p.Find("temp"), *t);
  p.Release(*t, false);
  p.SetCounts({0, 1, 1, 1, 1});
  EXPECT_EQ(p.Find("temp"), 0u);
}

}  // namespace
}  // namespace msi
