#include "api/last_error.h"

#include <string>

#include "msiquery.h"

namespace msi::api {
namespace {

struct LastError {
  uint32_t code = 0;
  std::string text;  // the code's description, then the details
};

thread_local LastError g_last;

}  // namespace

uint32_t Remember(const Status& status) {
  g_last.code = status.code();
  g_last.text.clear();
  if (!status.ok() && !status.message().empty()) {
    const char* base = MsiExtResultDescriptionA(status.code());
    g_last.text = std::string(base != nullptr ? base : "Error.") + " " + status.message();
  }
  return status.code();
}

}  // namespace msi::api

extern "C" const char* MsiExtLastErrorDescriptionA(UINT uResult) {
  using msi::api::g_last;
  if (uResult != 0 && g_last.code == uResult && !g_last.text.empty()) return g_last.text.c_str();
  return MsiExtResultDescriptionA(uResult);
}
