// ICE82: the registration and publishing actions come as a set in
// InstallExecuteSequence, and no two actions of a sequence table share a
// sequence number (their order would be left to chance).
#include <array>
#include <unordered_map>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr std::array<const char*, 4> kSet = {"PublishFeatures", "PublishProduct", "RegisterProduct",
                                             "RegisterUser"};
constexpr std::array<const char*, 5> kSequences = {"InstallExecuteSequence", "InstallUISequence",
                                                   "AdminExecuteSequence", "AdminUISequence",
                                                   "AdvtExecuteSequence"};

std::string List(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
  return list;
}

void Run(Context& ctx) {
  if (const Table* execute = ctx.Read("InstallExecuteSequence"); execute) {
    std::vector<std::string> present, missing;
    for (const char* action : kSet) (execute->Find(action) ? present : missing).push_back(action);
    if (present.empty())
      ctx.ReportAt(Severity::Warning, execute->name, "Action", {},
                   "The InstallExecuteSequence table does not contain the set of actions mentioned below: "
                   "Actions Missing: " + List(missing));
    else if (!missing.empty())
      ctx.ReportAt(Severity::Error, execute->name, "Action", {},
                   "The InstallExecuteSequence should either contain all of the actions mentioned below or "
                   "none of them Actions Present: " + List(present) + " Actions Missing: " + List(missing));
  }
  for (const char* name : kSequences) {
    const Table* sequence = ctx.Read(name);
    if (!sequence) continue;
    // Every action of a shared number is named, whatever the rows' order.
    std::unordered_map<int, int> count;
    for (const Row& row : sequence->rows)
      if (const auto number = sequence->Integer(row, "Sequence"); number) ++count[*number];  // null: never run
    for (const Row& row : sequence->rows) {
      const auto number = sequence->Integer(row, "Sequence");
      if (number && count[*number] > 1)
        ctx.Report(Severity::Warning, *sequence, "Sequence", row,
                   "This action " + sequence->Text(row, "Action") + " has duplicate sequence number " +
                       std::to_string(*number) + " in the table " + name);
    }
  }
}

const Registration kICE82("ICE82", Run);

}  // namespace
}  // namespace msivalidate
