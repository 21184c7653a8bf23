#include "api/last_error.h"

#include <memory>
#include <string>
#include <vector>

#include "api/handle_table.h"
#include "api/record.h"
#include "msiquery.h"

namespace msi::api {
namespace {

struct LastError {
  uint32_t code = 0;
  std::string text;     // the code's description, then the details
  std::string details;  // the details alone
  uint32_t number = 0;  // the installer's error number, 0 for none
  std::vector<std::string> fields;  // from field 2 on, with `number`
  bool record_pending = false;  // MsiGetLastErrorRecord has not taken it yet
  uint64_t count = 0;
};

thread_local LastError g_last;

bool IsArgumentError(uint32_t code) {
  return code == ERROR_INVALID_HANDLE || code == ERROR_INVALID_PARAMETER || code == ERROR_MORE_DATA;
}

uint32_t Store(const Status& status, const RecordContext* context) {
  ++g_last.count;
  g_last.code = status.code();
  g_last.text.clear();
  g_last.details.clear();
  g_last.number = 0;
  g_last.fields.clear();
  g_last.record_pending = !status.ok() && !IsArgumentError(status.code());
  if (!status.ok() && !status.message().empty()) {
    const char* base = MsiExtResultDescriptionA(status.code());
    g_last.text = std::string(base != nullptr ? base : "Error.") + " " + status.message();
    g_last.details = status.message();
  }
  // Without the call's context the parameters would be incomplete (no
  // query), so such failures keep the plain record.
  const InstallerError* own = status.ok() || context == nullptr ? nullptr : status.installer_error();
  if (own != nullptr || (!status.ok() && context != nullptr && context->number != 0)) {
    g_last.number = own != nullptr ? own->number : context->number;
    g_last.fields.push_back(context->database);
    const std::vector<std::string>& params = own != nullptr ? own->params : context->params;
    g_last.fields.insert(g_last.fields.end(), params.begin(), params.end());
    g_last.fields.insert(g_last.fields.end(), context->trailing.begin(), context->trailing.end());
    if (!g_last.details.empty()) g_last.fields.push_back(g_last.details);
  }
  return status.code();
}

}  // namespace

uint32_t Remember(const Status& status) { return Store(status, nullptr); }

uint32_t Remember(const Status& status, const RecordContext& context) {
  return Store(status, &context);
}

uint64_t RememberedCount() noexcept { return g_last.count; }

void SettleErrorRecord(uint32_t result, uint64_t count_before) noexcept {
  if (result == ERROR_SUCCESS || IsArgumentError(result)) {
    g_last.record_pending = false;
    return;
  }
  if (g_last.count != count_before && g_last.code == result) return;
  g_last.code = result;
  g_last.text.clear();
  g_last.details.clear();
  g_last.number = 0;
  g_last.fields.clear();
  g_last.record_pending = true;
}

}  // namespace msi::api

extern "C" const char* MsiExtLastErrorDescriptionA(UINT uResult) {
  using msi::api::g_last;
  if (uResult != 0 && g_last.code == uResult && !g_last.text.empty()) return g_last.text.c_str();
  return MsiExtResultDescriptionA(uResult);
}

extern "C" MSIHANDLE MsiGetLastErrorRecord(void) {
  using namespace msi::api;
  return GuardedOr(MSIHANDLE{0}, []() -> MSIHANDLE {
    if (!g_last.record_pending) return 0;
    std::shared_ptr<Record> record;
    if (g_last.number != 0) {
      record = std::make_shared<Record>(static_cast<uint32_t>(1 + g_last.fields.size()));
      record->SetInteger(1, static_cast<int32_t>(g_last.number));
      uint32_t field = 2;
      for (const std::string& text : g_last.fields) {
        if (!text.empty()) record->SetText(field, text);  // empty stays null, as the installer's
        ++field;
      }
    } else {
      record = std::make_shared<Record>(g_last.details.empty() ? 1u : 2u);
      record->SetInteger(1, static_cast<int32_t>(g_last.code));
      if (!g_last.details.empty()) record->SetText(2, g_last.details);
    }
    const MSIHANDLE h = AddHandle(record);
    // Taken once, as the installer releases its record once returned.
    if (h != 0) g_last.record_pending = false;
    return h;
  });
}
