// The string pool as stored (header, then one length/count pair a string)
// and as changed; and stream names, which share its compact alphabet.
#include <gtest/gtest.h>

#include "storage/string_pool.h"
#include "stream_name.h"

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

TEST(StringPool, LongStringsTakeTwoEntriesButOneId) {
  const size_t big = 70000;
  std::vector<uint8_t> data(big, 'x');
  data.push_back('y');
  data.push_back('z');
  // 3-byte references; id 1 as a marker entry with the high word, then the
  // low word; id 2 "yz".
  auto sp = StringPool::Load(Pool({0, 0x8000, 0, big >> 16, big & 0xFFFF, 1, 2, 1}), data);
  ASSERT_TRUE(sp.ok());
  EXPECT_TRUE((*sp)->long_refs_flag());
  EXPECT_EQ((*sp)->codepage(), 0);
  EXPECT_EQ((*sp)->Utf8(1).size(), big);
  EXPECT_EQ((*sp)->Utf8(2), "yz") << "the long entry garbled the strings after it";
}

TEST(StringPool, DamageIsInvalidData) {
  // A length beyond the data; a long-string marker with no low word after it.
  for (auto words : {std::vector<uint16_t>{1252, 0, 5, 1}, std::vector<uint16_t>{1252, 0, 0, 1}}) {
    auto sp = StringPool::Load(Pool(words), {'a'});
    ASSERT_FALSE(sp.ok());
    EXPECT_EQ(sp.status().code(), 13u);
  }
}

TEST(StringPool, AddingReusesTextAndFreeIds) {
  auto p = StringPool::CreateEmpty(1252);
  auto a = p->AddRef("alpha", true);
  ASSERT_TRUE(a && *a == 1u);
  EXPECT_EQ(*p->AddRef("beta", true), 2u);
  EXPECT_EQ(*p->AddRef("alpha", true), 1u);
  EXPECT_EQ(p->RefCount(1), 2u);
  // A commit that finds "alpha" unused frees its id for the next string.
  p->SetCounts({0, 0, 1});
  EXPECT_FALSE(p->IsUsed(1));
  EXPECT_EQ(*p->AddRef("gamma", true), 1u);
  EXPECT_EQ(p->Utf8(1), "gamma");
  // Text the codepage cannot hold is kept and marked, so a commit can
  // refuse it; a codepage that holds it re-encodes it under the same id.
  auto han = p->AddRef("\xE4\xB8\xAD", true);
  ASSERT_TRUE(han.has_value());
  EXPECT_TRUE(p->Unencodable(*han));
  EXPECT_FALSE(p->Unencodable(1));
  EXPECT_EQ(p->Utf8(*han), "\xE4\xB8\xAD");
  EXPECT_EQ(*p->AddRef("\xE4\xB8\xAD", false), *han);
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

TEST(StreamName, EncodesInTheCompactAlphabetAndRoundTrips) {
  // Pairs share a unit ('0' is 0, 'A' 10); a lone one takes the single
  // form; others stay and break pairs; table streams carry the marker.
  const struct {
    std::u16string name;
    bool table;
    std::u16string stored;
  } cases[] = {{u"0A", false, {char16_t(0x3800 + (10 << 6))}},
               {u"_", false, {char16_t(0x4800 + 63)}},
               {u"a-b", false, {char16_t(0x4800 + 36), u'-', char16_t(0x4800 + 37)}},
               {u"_S", true, {kTableStreamMarker, char16_t(0x3800 + 63 + (28 << 6))}}};
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeStreamName(c.name, c.table), c.stored);
    bool is_table = !c.table;
    EXPECT_EQ(DecodeStreamName(c.stored, &is_table), c.name);
    EXPECT_EQ(is_table, c.table);
  }
  // 62 characters of the alphabet fit the 31 units a compound file allows.
  EXPECT_EQ(EncodeStreamName(std::u16string(62, u'x'), false).size(), 31u);
}

}  // namespace
}  // namespace msi
