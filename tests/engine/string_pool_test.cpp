#include <gtest/gtest.h>

#include "storage/string_pool.h"

namespace msi {
namespace {

void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}

TEST(StringPool, DecodesIdsCountsAndTheCodepage) {
  std::vector<uint8_t> pool, data;
  Put16(pool, 1252);  // codepage, 2-byte references
  Put16(pool, 0);
  Put16(pool, 3); Put16(pool, 2);  // id 1: "abc", 2 references
  Put16(pool, 0); Put16(pool, 0);  // id 2: unused
  Put16(pool, 1); Put16(pool, 1);  // id 3: "\x80" (the euro sign in 1252)
  data = {'a', 'b', 'c', 0x80};
  auto sp = StringPool::Load(pool, data);
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
}

TEST(StringPool, LongStringsTakeTwoEntriesButOneId) {
  const size_t big = 70000;
  std::vector<uint8_t> pool, data(big, 'x');
  Put16(pool, 0);
  Put16(pool, 0x8000);  // 3-byte references requested
  Put16(pool, 0); Put16(pool, static_cast<uint16_t>(big >> 16));  // id 1, high word
  Put16(pool, static_cast<uint16_t>(big & 0xFFFF)); Put16(pool, 1);
  Put16(pool, 2); Put16(pool, 1);  // id 2: "yz"
  data.push_back('y');
  data.push_back('z');
  auto sp = StringPool::Load(pool, data);
  ASSERT_TRUE(sp.ok());
  EXPECT_TRUE((*sp)->long_refs_flag());
  EXPECT_EQ((*sp)->Utf8(1).size(), big);
  // A reader that gets the long entry wrong garbles every later string.
  EXPECT_EQ((*sp)->Utf8(2), "yz");
  EXPECT_EQ((*sp)->codepage(), 0);
}

TEST(StringPool, LengthsBeyondTheDataAreDamage) {
  std::vector<uint8_t> pool, data = {'a'};
  Put16(pool, 1252); Put16(pool, 0);
  Put16(pool, 5); Put16(pool, 1);
  auto sp = StringPool::Load(pool, data);
  ASSERT_FALSE(sp.ok());
  EXPECT_EQ(sp.status().code(), 13u);
  // A long-string marker in the last entry has no low word to read.
  pool.resize(4);
  Put16(pool, 0); Put16(pool, 1);
  EXPECT_EQ(StringPool::Load(pool, data).status().code(), 13u);
}

TEST(StringPool, UndecodableBytesBecomeReplacementCharacters) {
  std::vector<uint8_t> pool, data = {0x81, 'a'};  // 0x81 is unmapped in 932 as a lead byte alone
  Put16(pool, 65001); Put16(pool, 0);
  Put16(pool, 2); Put16(pool, 1);
  auto sp = StringPool::Load(pool, data);
  ASSERT_TRUE(sp.ok());
  EXPECT_EQ((*sp)->Utf8(1), "\xEF\xBF\xBD" "a");
}

TEST(StringPool, AddingReusesTextAndFreeIds) {
  auto p = StringPool::CreateEmpty(1252);
  auto a = p->AddRef("alpha", true);
  auto b = p->AddRef("beta", true);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(*a, 1u);
  EXPECT_EQ(*b, 2u);
  EXPECT_EQ(*p->AddRef("alpha", true), 1u);
  EXPECT_EQ(p->RefCount(1), 2u);
  // A commit that finds "alpha" unused frees its id for the next string.
  p->SetCounts({0, 0, 1});
  EXPECT_FALSE(p->IsUsed(1));
  EXPECT_EQ(*p->AddRef("gamma", true), 1u);
  EXPECT_EQ(p->Utf8(1), "gamma");
  // Text the codepage cannot hold is kept as it is, apart from bytes that
  // read the same, and marked so that a commit can refuse it.
  auto han = p->AddRef("\xE4\xB8\xAD", true);
  ASSERT_TRUE(han.has_value());
  EXPECT_TRUE(p->Unencodable(*han));
  EXPECT_EQ(p->Utf8(*han), "\xE4\xB8\xAD");
  EXPECT_EQ(p->Find("\xE4\xB8\xAD"), *han);
  EXPECT_EQ(*p->AddRef("\xE4\xB8\xAD", false), *han);
  EXPECT_FALSE(p->Unencodable(*a));
  // A codepage that holds it re-encodes it, and the id stays.
  ASSERT_TRUE(p->SetCodepage(936));
  EXPECT_FALSE(p->Unencodable(*han));
  EXPECT_EQ(p->Bytes(*han), "\xD6\xD0");
  EXPECT_EQ(p->Find("\xE4\xB8\xAD"), *han);
  EXPECT_FALSE(p->SetCodepage(9999));
}

// Lookups are answered by a scan at first and by an index later, and the
// last text looked up or stored is remembered: every path must give the
// lowest id holding the text, and none may outlive a change of the pool.
TEST(StringPool, RememberedLookupsFollowEveryChange) {
  std::vector<uint8_t> pool, data = {'d', 'u', 'p', 'x', 'd', 'u', 'p'};
  Put16(pool, 1252); Put16(pool, 0);
  Put16(pool, 3); Put16(pool, 1);  // 1: "dup"
  Put16(pool, 1); Put16(pool, 1);  // 2: "x"
  Put16(pool, 3); Put16(pool, 1);  // 3: "dup" again, as some writers leave it
  Put16(pool, 0); Put16(pool, 0);  // 4: free
  auto sp = StringPool::Load(pool, data);
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
