// ICE100: the embedded UI has one UI DLL, which names the messages it
// takes; resource files take none; file names do not repeat (they are
// extracted side by side). Only one embedded chainer can run.
#include <map>

#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

constexpr int kEmbeddedUI = 0x1;  // the row is the UI DLL

void CheckEmbeddedUI(Context& ctx, const Table& ui) {
  bool seen_ui = false;
  std::map<std::string, std::string> names;  // lower-case file name -> first row
  for (const Row& row : ui.rows) {
    const std::string key = ui.Text(row, "MsiEmbeddedUI");
    const bool is_ui = (ui.Integer(row, "Attributes").value_or(0) & kEmbeddedUI) != 0;
    const bool filtered = ui.Integer(row, "MessageFilter").value_or(0) != 0;
    if (is_ui) {
      if (seen_ui)
        ctx.Report(Severity::Error, ui, "Attributes", row, "Too many DLLs marked as UI: " + key);
      seen_ui = true;
      if (!filtered)
        ctx.Report(Severity::Error, ui, "MessageFilter", row,
                   "UI DLL cannot have null/zero message filter: " + key);
    } else if (filtered) {
      ctx.Report(Severity::Error, ui, "MessageFilter", row,
                 "Resource DLLs must have null/zero message filters: " + key);
    }
    const std::string file = ui.Text(row, "FileName");
    if (!names.emplace(Lower(file), key).second)
      ctx.Report(Severity::Error, ui, "FileName", row,
                 "Multiple DLLs marked with this filename: " + file + " (index: " + key + ")");
  }
}

void Run(Context& ctx) {
  if (const Table* ui = ctx.Read("MsiEmbeddedUI")) CheckEmbeddedUI(ctx, *ui);
  const Table* chainer = ctx.Read("MsiEmbeddedChainer");
  if (chainer && chainer->rows.size() > 1)
    ctx.ReportAt(Severity::Warning, chainer->name, "", {},
                 "Multiple chainers exist in MsiEmbeddedChainer table. Please ensure that only one is "
                 "conditioned to run.");
}

const Registration kICE100("ICE100", Run);

}  // namespace
}  // namespace msivalidate
