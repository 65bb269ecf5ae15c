// Measures the watched files. Any failure to reach a file is an ordinary outcome, recorded as
// SizeUnknown without a message, never an error of the run.
#include "check/size_probe.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "check/watch_table.h"
#include "platform/platform.h"

namespace quenwick {

std::int32_t ProbeFileSize(const std::string& path) {
  const std::optional<std::uint64_t> length = FileLength(path);
  if (!length) return SizeUnknown;
  // A file of 2 GiB or more is recorded as the largest size the table holds, so that it still
  // differs from any smaller recorded size and never looks like SizeUnknown.
  constexpr std::uint64_t LargestSize = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::min(*length, LargestSize));
}

void MeasureAll() {
  for (int index = FirstIndex; index <= LastIndex; ++index) {
    WatchTable.CurrentSizes[index] = ProbeFileSize(WatchTable.FilePaths[index]);
  }
}

}  // namespace quenwick
