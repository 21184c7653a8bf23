// What the sections of one report share, and the report's step policy: a
// step that fails writes nothing of its own but one error line, and the
// report goes on with the next step.
#pragma once

#include <new>
#include <string>
#include <string_view>

#include "Automation.h"
#include "Failure.h"
#include "Progress.h"
#include "ReportFile.h"

namespace pellacor {

class ReportRun {
 public:
  ReportRun(const std::string& package_path, Database& database,
            ReportFile& file, ProgressLabel* label, ProgressBar* bar)
      : package_path(package_path),
        database(database),
        label_(label),
        bar_(bar),
        file_(file) {}

  const std::string& package_path;
  Database& database;

  // Runs one step. On a failure its error line is written and false
  // returned.
  template <typename StepBody>
  bool Step(StepBody&& body) {
    try {
      body();
      return true;
    } catch (const Failure& failure) {
      WriteErrorLine(failure);
    } catch (const std::bad_alloc&) {
      WriteErrorLine(Failure(runtime_error::kOutOfMemory, "Out of memory"));
    }
    return false;
  }

  // A step that tests something. A failed test counts as passed, so the
  // report goes on with the first step the test guards.
  template <typename TestBody>
  bool Test(TestBody&& body) {
    bool passed = true;
    Step([&] { passed = body(); });
    return passed;
  }

  // Writes one whole line (UTF-8; package values already escaped).
  void Write(std::string_view line) { file_.WriteLine(line); }
  void WriteErrorLine(const Failure& failure);

  void SetCaption(const std::string& caption) {
    if (label_ != nullptr) label_->SetCaption(caption);
  }
  void RepaintWindow() {
    if (label_ != nullptr) label_->RepaintWindow();
  }
  bool has_label() const { return label_ != nullptr; }
  ProgressBar* bar() const { return bar_; }

 private:
  ProgressLabel* label_;
  ProgressBar* bar_;
  ReportFile& file_;
};

// The line that opens every table of the report.
inline constexpr std::string_view kTableStart =
    "<TABLE cellpadding=0 cellspacing=0 border=1 bordercolor=#C0C0C0 "
    "style=\"border-collapse: collapse\">";

// A red warning heading, for a missing or empty table.
std::string WarningLine(std::string_view text);

}  // namespace pellacor
