// What every msisql command shares: handles that close themselves, the one
// error line, and the escaping of texts in printed output.
#pragma once

#include <string>

#include "msiquery.h"

namespace msisql {

class Handle {
 public:
  Handle() = default;
  explicit Handle(MSIHANDLE h) : h_(h) {}
  ~Handle() { MsiCloseHandle(h_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  MSIHANDLE* out() { return &h_; }
  MSIHANDLE get() const { return h_; }

 private:
  MSIHANDLE h_ = 0;
};

// Prints "msisql: error N: DESCRIPTION CONTEXT" (the engine's account of
// the last failure where it has one) and gives exit status 1.
int Fail(UINT code, const std::string& context);

// A usage error: one line, exit status 2.
int Usage(const char* what);

// `\`, TAB, LF and CR as `\\`, `\t`, `\n`, `\r`: one value, one field.
void AppendEscaped(std::string& out, const std::string& text);
std::string Escaped(const std::string& text);

}  // namespace msisql
