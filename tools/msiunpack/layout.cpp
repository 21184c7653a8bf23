#include "layout.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "summary_info.h"

namespace msiunpack {
namespace {

constexpr int kAttributeNoncompressed = 0x2000;
constexpr int kAttributeCompressed = 0x4000;

std::string ShortName(const std::string& names) { return names.substr(0, names.find('|')); }

// DefaultDir is "target[:source]"; each side may be "short|long".
struct DefaultDir {
  std::string target;
  std::string source;
};

DefaultDir SplitDefaultDir(const std::string& value) {
  const size_t colon = value.find(':');
  if (colon == std::string::npos) return {value, value};
  return {value.substr(0, colon), value.substr(colon + 1)};
}

// A folder name: "." (or nothing) adds no level.
std::optional<std::string> FolderLevel(const std::string& name) {
  if (name.empty() || name == ".") return std::nullopt;
  return HarmlessName(name);
}

struct FolderPaths {
  std::vector<std::string> target;
  std::vector<std::string> source;
};

class FolderResolver {
 public:
  FolderResolver(const std::vector<DirectoryRow>& rows, bool short_source_names)
      : short_source_names_(short_source_names) {
    for (const DirectoryRow& row : rows) rows_.emplace(row.key, &row);
  }

  // The folder's paths, or a message when its parent chain loops.
  Outcome<FolderPaths> Resolve(const std::string& key) {
    if (auto known = resolved_.find(key); known != resolved_.end()) return known->second;
    // Walk up to a root or a key that is not in the table, then build down.
    std::vector<const DirectoryRow*> chain;
    std::unordered_set<std::string> seen;
    std::string at = key;
    FolderPaths base;
    for (;;) {
      if (auto known = resolved_.find(at); known != resolved_.end()) {
        base = known->second;
        break;
      }
      const auto row = rows_.find(at);
      if (row == rows_.end()) {
        // A parent missing from the table roots beside SourceDir, by its key.
        base.target.push_back(HarmlessName(at));
        break;
      }
      if (!seen.insert(at).second) return Failure{"the folder chain of " + key + " loops"};
      chain.push_back(row->second);
      const auto& parent = row->second->parent;
      if (!parent || parent->empty() || *parent == at) break;
      at = *parent;
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const DirectoryRow& row = **it;
      const DefaultDir dd = SplitDefaultDir(row.default_dir);
      if (auto level = FolderLevel(LongName(dd.target))) base.target.push_back(*level);
      const bool root = !row.parent || row.parent->empty() || *row.parent == row.key;
      // The source root is the package's own folder.
      const std::string source = short_source_names_ ? ShortName(dd.source) : LongName(dd.source);
      if (!root)
        if (auto level = FolderLevel(source)) base.source.push_back(*level);
      resolved_.emplace(row.key, base);
    }
    return base;
  }

 private:
  bool short_source_names_;
  std::unordered_map<std::string, const DirectoryRow*> rows_;
  std::unordered_map<std::string, FolderPaths> resolved_;
};

// Windows paths ignore letter case, so two files differing only in case
// collide in an image made there too.
std::string CollisionKey(const std::string& path) {
  std::string key = path;
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : char(c); });
  return key;
}

}  // namespace

std::string LongName(const std::string& names) {
  const size_t bar = names.find('|');
  if (bar == std::string::npos || bar + 1 == names.size()) return names.substr(0, bar);
  return names.substr(bar + 1);
}

std::string HarmlessName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7f) c = '_';
  }
  if (out.find_first_not_of('.') == std::string::npos) std::replace(out.begin(), out.end(), '.', '_');
  return out;
}

std::string RelativePath(const PlannedFile& file) {
  std::string path;
  for (const std::string& folder : file.folders) path += folder + "/";
  return path + file.name;
}

Layout PlanLayout(const PackageTables& tables) {
  Layout layout;
  const bool short_source = (tables.word_count & kWordCountShortNames) != 0;
  const bool compressed_default = (tables.word_count & kWordCountCompressed) != 0;
  FolderResolver folders(tables.directories, short_source);
  std::unordered_map<std::string, std::string> component_folder;
  for (const ComponentRow& c : tables.components) component_folder.emplace(c.key, c.directory);

  std::vector<const FileRow*> order;
  for (const FileRow& f : tables.files) order.push_back(&f);
  std::stable_sort(order.begin(), order.end(),
                   [](const FileRow* a, const FileRow* b) { return a->sequence < b->sequence; });

  std::set<std::string> taken;
  for (const FileRow* f : order) {
    const auto folder_key = component_folder.find(f->component);
    if (folder_key == component_folder.end()) {
      layout.refused.push_back(f->key + ": its component " + f->component + " is not in the package");
      continue;
    }
    auto paths = folders.Resolve(folder_key->second);
    if (!paths.ok()) {
      layout.refused.push_back(f->key + ": " + paths.message());
      continue;
    }
    PlannedFile planned;
    planned.key = f->key;
    planned.folders = paths.value().target;
    planned.source_folders = paths.value().source;
    planned.name = HarmlessName(LongName(f->file_name));
    planned.source_name = HarmlessName(short_source ? ShortName(f->file_name) : LongName(f->file_name));
    if (planned.name.empty()) {
      layout.refused.push_back(f->key + ": the file has no name");
      continue;
    }
    planned.size = f->size;
    planned.sequence = f->sequence;
    planned.compressed = (f->attributes & kAttributeCompressed)       ? true
                         : (f->attributes & kAttributeNoncompressed) ? false
                                                                      : compressed_default;
    const std::string base = planned.name;
    for (int n = 1; !taken.insert(CollisionKey(RelativePath(planned))).second; ++n)
      planned.name = base + ".duplicate" + std::to_string(n);
    layout.files.push_back(std::move(planned));
  }
  return layout;
}

}  // namespace msiunpack
