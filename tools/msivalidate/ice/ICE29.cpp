// ICE29: the names of streams stay distinct once cut to the 62 characters
// a package's storage can hold. A stream is named after its table and
// row key ("Binary.Icon1"); every row of a table with a binary column is
// checked, as its stream may be set later.
#include <map>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr size_t kMaxStreamName = 62;

void Run(Context& ctx) {
  for (const std::string& name : ctx.package().TableNames()) {
    if (!name.empty() && name[0] == '_') continue;  // the system's own tables hold no rows' streams
    if (!ctx.package().HasTable(name)) continue;
    const Table* table = ctx.Read(name);
    if (!table) continue;
    std::string column;
    for (size_t i = 0; i < table->types.size(); ++i)
      if (!table->types[i].empty() && (table->types[i][0] | 0x20) == 'v') {
        column = table->columns[i];
        break;
      }
    if (column.empty()) continue;
    std::map<std::string, std::string> first;  // truncated name -> the full name that had it first
    for (const Row& row : table->rows) {
      std::string stream = table->name;
      for (const std::string& key : table->Keys(row)) stream += "." + key;
      if (stream.size() <= kMaxStreamName && !first.count(stream)) {
        first.emplace(stream, stream);
        continue;
      }
      const std::string cut = stream.substr(0, kMaxStreamName);
      auto [it, fresh] = first.emplace(cut, stream);
      if (!fresh && it->second != stream)
        ctx.Report(Severity::Error, *table, column, row,
                   "The stream name '" + stream + "' is longer than " +
                       std::to_string(kMaxStreamName) +
                       " characters; cut to that length it is the same as the stream name '" +
                       it->second + "'.");
    }
  }
}

const Registration kICE29("ICE29", Run);

}  // namespace
}  // namespace msivalidate
