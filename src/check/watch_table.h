// The state of one check run: the watched paths and their current and saved sizes, indexed 1 to 4.
// Also builds the watched paths from the Windows directory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quenwick {

inline constexpr int FirstIndex = 1;
inline constexpr int LastIndex = 4;
inline constexpr std::int32_t SizeUnknown = -1;

// One column of the watch table: exactly four entries, indexed 1 to 4 like the watched files.
template <typename Entry>
struct WatchColumn {
  std::array<Entry, LastIndex - FirstIndex + 1> Entries{};

  // at() turns an index outside 1 to 4 into an error instead of a stray write.
  constexpr Entry& operator[](int index) {
    return Entries.at(static_cast<std::size_t>(index - FirstIndex));
  }
  constexpr const Entry& operator[](int index) const {
    return Entries.at(static_cast<std::size_t>(index - FirstIndex));
  }
  friend bool operator==(const WatchColumn&, const WatchColumn&) = default;
};

// A column of sizes in bytes, each one SizeUnknown or never negative.
using SizeColumn = WatchColumn<std::int32_t>;

struct WatchTableColumns {
  WatchColumn<std::string> FilePaths;
  SizeColumn CurrentSizes;
  SizeColumn SavedSizes;
};

// The one table of the program, shared in place by every step of the run.
extern WatchTableColumns WatchTable;

// The Windows directory, always ending in a backslash.
std::string WindowsDirectoryWithSeparator();

// Fills FilePaths with the four watched paths under the Windows directory.
void BuildWatchList();

}  // namespace quenwick
