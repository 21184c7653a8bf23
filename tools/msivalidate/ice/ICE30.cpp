// ICE30: no two components install a file of the same name into the same
// directory, on short-name and on long-name systems. Properties in paths
// are not resolved: only collisions visible in the authoring are found.
#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

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

// The Directory table by number, read once for both kinds of system.
// A root, a folder property, a directory in a parent cycle and a key the
// table lacks are anchors: they install to "[THEIR KEY]".
class Tree {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  explicit Tree(const Table* directory) {
    if (!directory) return;
    std::vector<std::string> parents;
    for (const Row& row : directory->rows) {
      const std::string dir = directory->Text(row, "Directory");
      if (!index_.emplace(dir, nodes_.size()).second) continue;
      const std::string default_dir = directory->Text(row, "DefaultDir");
      const std::string_view target = std::string_view(default_dir).substr(0, default_dir.find(':'));
      nodes_.push_back(Node{dir, kNone, std::string(NameFor(target, false)),
                            std::string(NameFor(target, true)), IsFolderProperty(dir)});
      parents.push_back(directory->Text(row, "Directory_Parent"));
    }
    for (size_t i = 0; i < parents.size(); ++i)
      if (!parents[i].empty() && parents[i] != nodes_[i].key) nodes_[i].parent = IndexOf(parents[i]);
    // A walk up from each node, marking nodes done, finds every cycle once;
    // the node where a walk meets its own path becomes an anchor.
    std::vector<unsigned char> state(nodes_.size(), 0);  // 0 new, 1 on the path, 2 done
    for (size_t start = 0; start < nodes_.size(); ++start) {
      std::vector<size_t> path;
      size_t n = start;
      while (n != kNone && state[n] == 0 && !nodes_[n].anchor) {
        state[n] = 1;
        path.push_back(n);
        n = nodes_[n].parent;
      }
      if (n != kNone && state[n] == 1) nodes_[n].anchor = true;
      for (size_t m : path) state[m] = 2;
    }
  }

  // The node of a directory key; a key the table lacks becomes an anchor.
  size_t IndexOf(const std::string& dir) {
    auto [it, fresh] = index_.emplace(dir, nodes_.size());
    if (fresh) nodes_.push_back(Node{dir, kNone, {}, {}, true});
    return it->second;
  }

  size_t size() const { return nodes_.size(); }
  bool Anchor(size_t n) const { return nodes_[n].anchor || nodes_[n].parent == kNone; }
  size_t Parent(size_t n) const { return nodes_[n].parent; }
  const std::string& Key(size_t n) const { return nodes_[n].key; }
  const std::string& Name(size_t n, bool long_names) const {
    return long_names ? nodes_[n].long_name : nodes_[n].short_name;
  }

 private:
  struct Node {
    std::string key;
    size_t parent;
    std::string short_name, long_name;
    bool anchor;
  };
  std::vector<Node> nodes_;
  std::unordered_map<std::string, size_t> index_;
};

// Where directories install, for one kind of system: an anchor at
// "[KEY]", any other directory where its parent does, under its name
// (upper-cased: file systems ignore case; "." adds none). Each place gets
// a number, so that a deep tree costs no long strings; paths are spelled
// out only for messages.
class Places {
 public:
  Places(const Tree& tree, bool long_names)
      : tree_(tree), long_names_(long_names), place_(tree.size(), 0) {}

  size_t Of(size_t dir) {
    std::vector<size_t> chain;
    size_t base = 0;
    for (size_t d = dir;; d = tree_.Parent(d)) {
      if (place_[d]) {
        base = place_[d];
        break;
      }
      if (tree_.Anchor(d)) {
        base = place_[d] = Intern("[" + tree_.Key(d) + "]");
        break;
      }
      chain.push_back(d);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const std::string& name = tree_.Name(*it, long_names_);
      if (name != "." && !name.empty()) base = Intern(std::to_string(base) + '\\' + Upper(name));
      place_[*it] = base;
    }
    return base;
  }

  // "[ProgramFilesFolder]\PuTTY\": the anchor and the names below it, as
  // authored.
  std::string Path(size_t dir) const {
    std::vector<const std::string*> names;
    size_t d = dir;
    for (; !tree_.Anchor(d); d = tree_.Parent(d)) {
      const std::string& name = tree_.Name(d, long_names_);
      if (name != "." && !name.empty()) names.push_back(&name);
    }
    std::string path = "[" + tree_.Key(d) + "]\\";
    for (auto it = names.rbegin(); it != names.rend(); ++it) path += **it + "\\";
    return path;
  }

 private:
  size_t Intern(std::string key) {
    return places_.emplace(std::move(key), places_.size() + 1).first->second;
  }

  const Tree& tree_;
  bool long_names_;
  std::vector<size_t> place_;  // by node; 0 until worked out
  std::unordered_map<std::string, size_t> places_;  // "[anchor]" or "parent place\NAME"
};

// A file and what decides where it goes, gathered once for both systems.
struct Placed {
  const Row* file;
  const std::string* component;
  size_t directory;          // node in the Tree
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
                 const Tree& tree, bool long_names) {
  Places places(tree, long_names);
  const char* system = long_names ? "LFN" : "SFN";
  // Files by place (path and upper-case name); only places with more than
  // one file keep a list, in the order their first file appears.
  std::unordered_map<std::string, size_t> first;
  std::map<size_t, std::vector<size_t>> shared;
  for (size_t i = 0; i < placed.size(); ++i) {
    std::string key = std::to_string(places.Of(placed[i].directory));
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
    const std::string path = places.Path(placed[head].directory);
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
  Tree tree(ctx.Read("Directory"));
  std::vector<Placed> placed;
  placed.reserve(file->rows.size());
  for (const Row& row : file->rows) {
    const Value& comp = row[static_cast<size_t>(file_component)];
    const Row* c = component->Find(comp.text);
    if (comp.IsNull() || !c) continue;
    const Value& dir = (*c)[static_cast<size_t>(directory_column)];
    if (dir.IsNull()) continue;
    const bool conditional = condition >= 0 && !(*c)[static_cast<size_t>(condition)].IsNull();
    placed.push_back(Placed{&row, &comp.text, tree.IndexOf(dir.text),
                            &row[static_cast<size_t>(file_name)].text, conditional});
  }
  CheckSystem(ctx, *file, placed, tree, false);
  CheckSystem(ctx, *file, placed, tree, true);
}

const Registration kICE30("ICE30", Run);

}  // namespace
}  // namespace msivalidate
