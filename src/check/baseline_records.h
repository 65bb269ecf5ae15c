// The text of the baseline file: four decimal sizes in watch-table order, each ending in CR LF.
// Reading is strict and bounded, so a damaged or huge file is simply not a baseline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "check/watch_table.h"

namespace quenwick {

// How much of the file the reader looks at: four records of the longest size ("-2147483648"),
// with their line ends, fit with room to spare even as UTF-16 with its byte-order mark.
inline constexpr std::size_t BaselineReadLimit = 128;

// The four sizes at the start of a baseline file, given its first BaselineReadLimit bytes (the
// whole file when it is shorter), or nothing when they are not all there and well-formed. Besides
// the plain ASCII that FormatBaselineRecords writes, the reader takes what an admin's tools write:
// a UTF-8 byte-order mark before the first record, or UTF-16 LE text with its byte-order mark.
std::optional<SizeColumn> ParseBaselineRecords(std::string_view head);

// The four sizes as the baseline file holds them.
std::string FormatBaselineRecords(const SizeColumn& sizes);

}  // namespace quenwick
