// libFuzzer target: the input is a summary information stream. Decoding
// gives a property set or an error; a set that decodes and encodes again
// must decode to the same values (what persisting relies on).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "storage/property_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto decoded = msi::DecodePropertySet(std::span<const uint8_t>(data, size));
  if (!decoded.ok()) return 0;
  auto encoded = msi::EncodePropertySet(*decoded);
  if (!encoded.ok()) return 0;  // text the codepage cannot hold again
  auto again = msi::DecodePropertySet(*encoded);
  if (!again.ok() || again->values != decoded->values) std::abort();
  return 0;
}
