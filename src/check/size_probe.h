// Measures the watched files: a size in bytes, or SizeUnknown for a file that cannot be reached.
// Only the length is taken; the contents are never read.
#pragma once

#include <cstdint>
#include <string>

namespace quenwick {

// The length of the file at path, capped at the largest size the table holds, or SizeUnknown.
std::int32_t ProbeFileSize(const std::string& path);

// Sets every CurrentSizes entry from the file at the same index of FilePaths.
void MeasureAll();

}  // namespace quenwick
