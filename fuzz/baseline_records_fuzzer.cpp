// libFuzzer target for the baseline reader: any bytes are either four sizes or nothing, never a
// crash, and four sizes that were read are written back in a form that reads the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "check/baseline_records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quenwick;
  // The reader sees at most the first BaselineReadLimit bytes of a file.
  const std::string_view head(reinterpret_cast<const char*>(data),
                              std::min(size, BaselineReadLimit));
  if (const auto records = ParseBaselineRecords(head)) {
    if (ParseBaselineRecords(FormatBaselineRecords(*records)) != records) std::abort();
  }
  return 0;
}
