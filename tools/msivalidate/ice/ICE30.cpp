// ICE30: no two components install a file of the same name into the same
// directory, on short-name and on long-name systems. Properties in paths
// are not resolved: only collisions visible in the authoring are found.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

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

// Target paths of directories, upper-cased (file systems ignore case),
// worked out once per directory.
class Paths {
 public:
  Paths(const Table* directory, bool long_names) {
    if (!directory) return;
    for (const Row& row : directory->rows) {
      std::string dir = directory->Text(row, "Directory");
      std::string parent = directory->Text(row, "Directory_Parent");
      const std::string default_dir = directory->Text(row, "DefaultDir");
      const std::string_view t = std::string_view(default_dir).substr(0, default_dir.find(':'));
      rows_[dir] = {parent == dir ? std::string() : parent, Upper(NameFor(t, long_names))};
    }
  }

  const std::string& Of(const std::string& dir) {
    if (auto it = done_.find(dir); it != done_.end()) return it->second;
    // Walk up to a root or a directory already known; a cycle stops it.
    std::vector<std::string> chain;
    std::set<std::string> seen;
    std::string base;
    for (std::string d = dir; !d.empty(); ) {
      if (auto it = done_.find(d); it != done_.end()) { base = it->second; break; }
      if (!seen.insert(d).second) break;
      chain.push_back(d);
      auto row = rows_.find(d);
      d = row == rows_.end() ? std::string() : row->second.parent;
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      auto row = rows_.find(*it);
      const std::string name = row == rows_.end() ? Upper(*it) : row->second.name;
      std::string path = base;
      if (name != "." && !name.empty()) path = path.empty() ? name : path + "\\" + name;
      base = done_.emplace(*it, path).first->second;
    }
    return done_[dir];
  }

 private:
  struct DirRow {
    std::string parent;
    std::string name;
  };
  std::map<std::string, DirRow> rows_;
  std::map<std::string, std::string> done_;
};

struct Placed {
  const Row* file;
  std::string component;
  bool conditional;
  std::string name;  // as authored, for the message
};

void CheckSystem(Context& ctx, const Table& file, const Table& component, const Table* directory,
                 bool long_names) {
  Paths paths(directory, long_names);
  const char* system = long_names ? "LFN" : "SFN";
  std::map<std::pair<std::string, std::string>, std::vector<Placed>> at;  // (path, NAME)
  for (const Row& row : file.rows) {
    const std::string comp = file.Text(row, "Component_");
    const Row* c = component.Find(comp);
    if (!c || component.IsNull(*c, "Directory_")) continue;
    const std::string path = paths.Of(component.Text(*c, "Directory_"));
    const std::string authored = file.Text(row, "FileName");
    const std::string name(NameFor(authored, long_names));
    at[{path, Upper(name)}].push_back(
        Placed{&row, comp, !component.IsNull(*c, "Condition"), name});
  }
  for (const auto& [where, files] : at) {
    if (files.size() < 2) continue;
    // Every pair, unless a damaged package piles up thousands of files in
    // one place: then each file is paired with the first only.
    const bool all_pairs = files.size() <= 64;
    for (size_t i = 0; i < (all_pairs ? files.size() : 1); ++i)
      for (size_t j = i + 1; j < files.size(); ++j) {
        const Placed& a = files[i];
        const Placed& b = files[j];
        if (a.component == b.component) continue;
        const std::string pair = " system: '" + a.component + "' and '" + b.component + "'.";
        std::string message;
        Severity severity = Severity::Error;
        const std::string place = "'" + a.name + "' ";
        if (!a.conditional && !b.conditional) {
          message = "The target file " + place + "is installed in '" + where.first +
                    "' by two different components on an " + system + pair +
                    " This breaks component reference counting.";
        } else if (a.conditional != b.conditional) {
          message = "Installation of a conditionalized component would cause the target file " +
                    place + "to be installed in '" + where.first +
                    "' by two different components on an " + system + pair +
                    " This would break component reference counting.";
        } else {
          severity = Severity::Warning;
          message = "The target file " + place + "might be installed in '" + where.first +
                    "' by two different conditionalized components on an " + system + pair +
                    " If the conditions are not mutually exclusive, this will break the component "
                    "reference counting system.";
        }
        ctx.Report(severity, file, "FileName", *a.file, message);
        ctx.Report(severity, file, "FileName", *b.file, message);
      }
  }
}

void Run(Context& ctx) {
  const Table* file = ctx.Read("File");
  const Table* component = ctx.Read("Component");
  if (!file || !component) return;
  const Table* directory = ctx.Read("Directory");
  CheckSystem(ctx, *file, *component, directory, false);
  CheckSystem(ctx, *file, *component, directory, true);
}

const Registration kICE30("ICE30", Run);

}  // namespace
}  // namespace msivalidate
