// A test-only decoder of a package's database from the compound file's
// bytes, written apart from the engine: string pool, _Tables, _Columns and
// every table's stored cells, so the tests can check what a commit wrote
// rather than what the engine reads back.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ts {

struct StoredColumn {
  std::string name;
  unsigned type = 0;
  bool is_string() const { return (type & 0x0800) != 0 && (type & 0x0400) != 0; }
  bool is_binary() const { return (type & 0x0800) != 0 && (type & 0x0400) == 0; }
  bool is_key() const { return (type & 0x2000) != 0; }
};

struct StoredTable {
  std::vector<StoredColumn> columns;
  std::vector<std::vector<uint32_t>> rows;  // raw stored cells
};

struct StoredPackage {
  uint32_t codepage = 0;
  bool wide_refs = false;
  std::vector<std::string> strings;    // by id; [0] unused
  std::vector<uint32_t> refcounts;     // by id
  std::vector<bool> live;              // by id: an entry with a string
  std::map<std::string, StoredTable> tables;  // _Tables and _Columns too
  std::vector<std::u16string> raw_stream_names;  // root streams, as stored
  std::map<std::string, std::vector<uint8_t>> streams;  // decoded name -> data
  std::array<uint8_t, 16> root_clsid{};
  unsigned major_version = 0;
};

// "" when the file parses strictly and its database decodes; else why not.
std::string DecodePackage(const std::vector<uint8_t>& file, StoredPackage& out);

// Every broken writer rule: rows out of key order or with duplicate keys,
// reference counts that differ from the references, ids that name no
// string, the same text under two live ids, stream names that are not in
// their encoded form, binary cells without their stream.
std::vector<std::string> WriterRuleFaults(const StoredPackage& package);

// Decodes the package at `path`; the test fails when it does not decode or
// breaks a writer rule.
StoredPackage ExpectSound(const std::filesystem::path& path);

}  // namespace ts
