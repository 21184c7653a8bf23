#include "ReportRun.h"

#include "HtmlText.h"

namespace pellacor {

void ReportRun::WriteErrorLine(const Failure& failure) {
  // Descriptions may quote package values, so they are escaped like them.
  file_.WriteLine("Error: " + std::to_string(failure.number()) + " " +
                  HtmlText(failure.description()));
}

std::string WarningLine(std::string_view text) {
  return "<H3><FONT COLOR=RED>" + std::string(text) + "</FONT></H3>";
}

}  // namespace pellacor
