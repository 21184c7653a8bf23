// ICE30: no two components install a file of the same name into the same
// directory, on short-name and on long-name systems. Properties in paths
// are not resolved: only collisions visible in the authoring are found.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <unordered_map>

#include "evaluator.h"

namespace msivalidate {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// "short|long" -> the name one kind of system uses.
std::string_view NameFor(std::string_view name, bool long_names) {
  const size_t bar = name.find('|');
  if (bar == std::string_view::npos) return name;
  return long_names ? name.substr(bar + 1) : name.substr(0, bar);
}

// Folders the installer sets itself: they install wherever their property
// points, whatever their parent and name.
bool IsFolderProperty(const std::string& dir) {
  static const std::set<std::string> kFolders = {
      "AdminToolsFolder",    "AppDataFolder",        "CommonAppDataFolder", "CommonFiles64Folder",
      "CommonFilesFolder",   "DesktopFolder",        "FavoritesFolder",     "FontsFolder",
      "LocalAppDataFolder",  "MyPicturesFolder",     "NetHoodFolder",       "PersonalFolder",
      "PrintHoodFolder",     "ProgramFiles64Folder", "ProgramFilesFolder",  "ProgramMenuFolder",
      "RecentFolder",        "SendToFolder",         "StartMenuFolder",     "StartupFolder",
      "System16Folder",      "System64Folder",       "SystemFolder",        "TempFolder",
      "TemplateFolder",      "WindowsFolder",        "WindowsVolume"};
  return kFolders.count(dir) != 0;
}

// Where directories install, for one kind of system. A root or a folder
// property installs to "[ITS KEY]"; any other directory where its parent
// does, under its name (upper-cased: file systems ignore case). Each place
// gets a number, so that a deep tree costs no long strings; paths are
// spelled out only for messages.
class Places {
 public:
  Places(const Table* directory, bool long_names) {
    if (!directory) return;
    for (const Row& row : directory->rows) {
      std::string dir = directory->Text(row, "Directory");
      std::string parent = directory->Text(row, "Directory_Parent");
      const std::string default_dir = directory->Text(row, "DefaultDir");
      const std::string_view t = std::string_view(default_dir).substr(0, default_dir.find(':'));
      rows_[dir] = {parent == dir ? std::string() : parent, std::string(NameFor(t, long_names))};
    }
  }

  size_t Of(const std::string& dir) {
    if (auto it = done_.find(dir); it != done_.end()) return it->second;
    // Walk up to an anchor or a directory already placed; a cycle ends
    // the walk as if at an anchor.
    std::vector<std::string> chain;
    std::set<std::string> seen;
    size_t base = 0;
    for (std::string d = dir;;) {
      if (auto it = done_.find(d); it != done_.end()) {
        base = it->second;
        break;
      }
      if (!seen.insert(d).second) {
        base = Intern("[" + d + "]");
        break;
      }
      if (IsAnchor(d)) {
        base = Intern("[" + d + "]");
        done_.emplace(d, base);
        break;
      }
      chain.push_back(d);
      d = Parent(d);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const std::string& name = Name(*it);
      // "." puts files into the parent's folder.
      if (name != "." && !name.empty()) base = Intern(std::to_string(base) + '\\' + Upper(name));
      done_.emplace(*it, base);
    }
    return base;
  }

  // "[ProgramFilesFolder]\PuTTY\": the anchor and the names below it, as
  // authored.
  std::string Path(const std::string& dir) const {
    std::vector<const std::string*> names;
    std::set<std::string> seen;
    std::string d = dir;
    for (; !IsAnchor(d) && seen.insert(d).second; d = Parent(d)) {
      const std::string& name = Name(d);
      if (name != "." && !name.empty()) names.push_back(&name);
    }
    std::string path = "[" + d + "]\\";
    for (auto it = names.rbegin(); it != names.rend(); ++it) path += **it + "\\";
    return path;
  }

 private:
  struct DirRow {
    std::string parent;
    std::string name;
  };
  bool IsAnchor(const std::string& dir) const {
    auto it = rows_.find(dir);
    return it == rows_.end() || it->second.parent.empty() || IsFolderProperty(dir);
  }
  std::string Parent(const std::string& dir) const {
    auto it = rows_.find(dir);
    return it == rows_.end() ? std::string() : it->second.parent;
  }
  const std::string& Name(const std::string& dir) const { return rows_.at(dir).name; }
  size_t Intern(std::string key) { return places_.emplace(std::move(key), places_.size() + 1).first->second; }

  std::unordered_map<std::string, DirRow> rows_;
  std::unordered_map<std::string, size_t> done_;    // directory -> place
  std::unordered_map<std::string, size_t> places_;  // "[anchor]" or "parent place\NAME" -> place
};

// A file and what decides where it goes, gathered once for both systems.
struct Placed {
  const Row* file;
  const std::string* component;
  const std::string* directory;
  const std::string* name;  // "short|long" as authored
  bool conditional;
};

void Report(Context& ctx, const Table& file, const char* system, const std::string& path,
            const Placed& a, const Placed& b, std::string_view name) {
  const std::string pair = " system: '" + *a.component + "' and '" + *b.component + "'.";
  const std::string place = "'" + std::string(name) + "' ";
  std::string message;
  Severity severity = Severity::Error;
  if (!a.conditional && !b.conditional) {
    message = "The target file " + place + "is installed in '" + path +
              "' by two different components on an " + system + pair +
              " This breaks component reference counting.";
  } else if (a.conditional != b.conditional) {
    message = "Installation of a conditionalized component would cause the target file " + place +
              "to be installed in '" + path + "' by two different components on an " + system +
              pair + " This would break component reference counting.";
  } else {
    severity = Severity::Warning;
    message = "The target file " + place + "might be installed in '" + path +
              "' by two different conditionalized components on an " + system + pair +
              " If the conditions are not mutually exclusive, this will break the component "
              "reference counting system.";
  }
  ctx.Report(severity, file, "FileName", *a.file, message);
  ctx.Report(severity, file, "FileName", *b.file, message);
}

void CheckSystem(Context& ctx, const Table& file, const std::vector<Placed>& placed,
                 const Table* directory, bool long_names) {
  Places places(directory, long_names);
  const char* system = long_names ? "LFN" : "SFN";
  // Files by place (path and upper-case name); only places with more than
  // one file keep a list, in the order their first file appears.
  std::unordered_map<std::string, size_t> first;
  std::map<size_t, std::vector<size_t>> shared;
  for (size_t i = 0; i < placed.size(); ++i) {
    std::string key = std::to_string(places.Of(*placed[i].directory));
    key += '\0';
    key += Upper(NameFor(*placed[i].name, long_names));
    auto [it, fresh] = first.emplace(std::move(key), i);
    if (!fresh) {
      auto& group = shared[it->second];
      if (group.empty()) group.push_back(it->second);
      group.push_back(i);
    }
  }
  for (const auto& [head, files] : shared) {
    const std::string path = places.Path(*placed[head].directory);
    const std::string_view name = NameFor(*placed[head].name, long_names);
    // Every pair, unless a damaged package piles up thousands of files in
    // one place: then each file is paired with the first only.
    const bool all_pairs = files.size() <= 64;
    for (size_t i = 0; i < (all_pairs ? files.size() : 1); ++i)
      for (size_t j = i + 1; j < files.size(); ++j) {
        const Placed& a = placed[files[i]];
        const Placed& b = placed[files[j]];
        if (*a.component != *b.component) Report(ctx, file, system, path, a, b, name);
      }
  }
}

void Run(Context& ctx) {
  const Table* file = ctx.Read("File");
  const Table* component = ctx.Read("Component");
  if (!file || !component) return;
  const int file_component = file->Column("Component_");
  const int file_name = file->Column("FileName");
  const int directory_column = component->Column("Directory_");
  const int condition = component->Column("Condition");
  if (file_component < 0 || file_name < 0 || directory_column < 0) return;
  std::vector<Placed> placed;
  placed.reserve(file->rows.size());
  for (const Row& row : file->rows) {
    const Value& comp = row[static_cast<size_t>(file_component)];
    const Row* c = component->Find(comp.text);
    if (comp.IsNull() || !c) continue;
    const Value& dir = (*c)[static_cast<size_t>(directory_column)];
    if (dir.IsNull()) continue;
    placed.push_back(Placed{&row, &comp.text, &dir.text, &row[static_cast<size_t>(file_name)].text,
                            condition >= 0 && !(*c)[static_cast<size_t>(condition)].IsNull()});
  }
  const Table* directory = ctx.Read("Directory");
  CheckSystem(ctx, *file, placed, directory, false);
  CheckSystem(ctx, *file, placed, directory, true);
}

const Registration kICE30("ICE30", Run);

}  // namespace
}  // namespace msivalidate
