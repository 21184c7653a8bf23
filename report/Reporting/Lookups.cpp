#include "Lookups.h"

#include <algorithm>
#include <cctype>

namespace pellacor {

namespace {

// Runs a statement for its first row only: `read` gets the row (or nothing)
// before the view is closed.
template <typename ReadRow>
void ReadFirstRow(Database& database, const std::string& sql,
                  std::initializer_list<std::string> parameters, ReadRow read) {
  View view = database.OpenView(sql);
  view.Execute(ParameterRecord(parameters));
  Record row = view.Fetch();
  read(row);
  row = Record();
  view.Close();
}

std::string UpperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool EndsWithFolder(const std::string& key) {
  static constexpr std::string_view kFolder = "Folder";
  return key.size() >= kFolder.size() &&
         key.compare(key.size() - kFolder.size(), kFolder.size(), kFolder) == 0;
}

}  // namespace

std::string GetPropertyValue(Database& database, const std::string& property) {
  std::string value;
  ReadFirstRow(database,
               "SELECT DISTINCT Property,Value FROM Property WHERE Property=?",
               {property}, [&](Record& row) {
                 if (!row.IsNothing()) value = row.StringData(2);
               });
  return value;
}

std::string GetFeatureTitle(Database& database, const std::string& feature) {
  std::string title;
  ReadFirstRow(database,
               "SELECT DISTINCT Feature,Title FROM Feature WHERE Feature=?",
               {feature}, [&](Record& row) {
                 if (row.IsNothing()) return;
                 title = row.StringData(2);
                 if (title.empty()) title = feature;
               });
  return title;
}

std::string GetVersionDescription(Database& database, const std::string& name,
                                  const std::string& version) {
  std::string description;
  ReadFirstRow(database,
               "SELECT DISTINCT Name,Version,Description FROM HollinVersions "
               "WHERE Name=? AND Version=?",
               {name, version}, [&](Record& row) {
                 if (!row.IsNothing()) description = row.StringData(3);
               });
  return description.empty() ? version : description;
}

void GetRequirementTexts(Database& database, const std::string& feature,
                         std::vector<std::string>& texts) {
  texts.clear();
  View view = database.OpenView(
      "SELECT DISTINCT HollinRequirements.Feature,HollinRequirements.Requires,"
      "HollinRequirements.VerMin,HollinRequirements.VerMax,"
      "HollinDetects.ProductName FROM HollinRequirements,HollinDetects WHERE "
      "HollinRequirements.Requires=HollinDetects.Name AND "
      "HollinRequirements.Feature=? ORDER BY Feature");
  view.Execute(ParameterRecord({feature}));
  for (Record row = view.Fetch(); !row.IsNothing(); row = view.Fetch()) {
    std::string product = row.StringData(5);
    std::string requires_name = row.StringData(2);
    if (product.empty()) product = requires_name;
    std::string lower =
        GetVersionDescription(database, requires_name, row.StringData(3));
    std::string upper =
        GetVersionDescription(database, requires_name, row.StringData(4));
    std::string range;
    if (!lower.empty() && !upper.empty()) {
      range = "from " + lower + " to " + upper;
    } else if (!lower.empty()) {
      range = lower + " or later";
    } else if (!upper.empty()) {
      range = "up to " + upper;
    } else {
      range = "any version";
    }
    texts.push_back(product + " " + range);
  }
  view.Close();
}

std::string GetNamePart(const std::string& name, bool short_part) {
  size_t bar = name.find('|');
  if (bar == std::string::npos || bar == 0) return name;
  return short_part ? name.substr(0, bar) : name.substr(bar + 1);
}

DirectoryPaths::DirectoryPaths(Database& database, bool target,
                               bool short_names, bool bracket_folders)
    : database_(database),
      target_(target),
      short_names_(short_names),
      bracket_folders_(bracket_folders) {}

DirectoryPaths::Row DirectoryPaths::LookUp(const std::string& key) {
  if (open_failure_) throw *open_failure_;
  if (view_.IsNothing()) {
    try {
      view_ = database_.OpenView(
          "SELECT DISTINCT Directory, Directory_Parent, DefaultDir FROM "
          "Directory WHERE Directory=?");
    } catch (const Failure& failure) {
      open_failure_ = failure;
      throw;
    }
  }
  view_.Execute(ParameterRecord({key}));
  Row found;
  Record row = view_.Fetch();
  if (!row.IsNothing()) {
    found.parent = row.StringData(2);
    found.name = row.StringData(3);
  }
  row = Record();
  view_.Close();
  return found;
}

std::string DirectoryPaths::DisplayName(const std::string& default_dir) const {
  std::string name = default_dir;
  size_t colon = name.find(':');
  if (colon != std::string::npos && colon > 0) {
    name = target_ ? name.substr(0, colon) : name.substr(colon + 1);
  }
  name = GetNamePart(name, short_names_);
  if (short_names_) name = UpperAscii(name);
  return name;
}

std::string DirectoryPaths::EndWithSeparator(std::string path) {
  if (!path.empty() && path.back() != '\\' && path.back() != ']') path += '\\';
  return path;
}

std::string DirectoryPaths::PathOf(const std::string& key) {
  // Walks up the parent chain without recursion (a hostile package may nest
  // folders deeper than any stack), then builds the paths back down.
  struct Level {
    std::string key;
    Row row;
  };
  std::vector<Level> chain;
  std::unordered_set<std::string> on_chain;
  std::optional<Failure> failure;
  std::optional<std::string> base;  // path of the key the walk stopped at

  std::string current = key;
  for (;;) {
    if (auto it = resolved_.find(current); it != resolved_.end()) {
      if (it->second.failure) {
        failure = it->second.failure;
      } else {
        base = it->second.path;
      }
      break;
    }
    if ((bracket_folders_ && EndsWithFolder(current)) ||
        UpperAscii(current) == "TARGETDIR") {
      base = "[" + current + "]";
      resolved_[current] = {*base, std::nullopt};
      break;
    }
    if (!on_chain.insert(current).second) {
      // Name the cycle by its smallest key, so that the text does not
      // depend on where the walk entered it.
      std::string smallest = current;
      for (auto level = chain.rbegin(); level != chain.rend(); ++level) {
        smallest = std::min(smallest, level->key);
        if (level->key == current) break;
      }
      failure = Failure(runtime_error::kOutOfStackSpace,
                        "Out of stack space (directory cycle through " +
                            smallest + ")");
      break;
    }
    try {
      chain.push_back({current, LookUp(current)});
    } catch (const Failure& lookup_failure) {
      failure = lookup_failure;
      break;
    }
    const Row& row = chain.back().row;
    if (row.parent.empty() || row.parent == current) break;
    current = row.parent;
  }

  if (failure) {
    for (const Level& level : chain) resolved_[level.key] = {{}, failure};
    resolved_.try_emplace(current, Resolved{{}, failure});
    throw *failure;
  }
  for (auto level = chain.rbegin(); level != chain.rend(); ++level) {
    std::string name = DisplayName(level->row.name);
    std::string path;
    if (!base) {
      path = name;  // the root of the chain
    } else if (name == ".") {
      path = *base;
    } else {
      path = *base + name;
    }
    path = EndWithSeparator(path);
    resolved_[level->key] = {path, std::nullopt};
    base = path;
  }
  return *base;
}

std::string GetDirectoryPath(Database& database, const std::string& key,
                             bool target, bool short_names,
                             bool bracket_folders) {
  return DirectoryPaths(database, target, short_names, bracket_folders)
      .PathOf(key);
}

}  // namespace pellacor
