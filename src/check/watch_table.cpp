// The state of one check run and the watched paths under the Windows directory.
// The paths are fixed; only the Windows directory in front of them comes from the system.
#include "check/watch_table.h"

#include <string_view>

#include "platform/platform.h"

namespace quenwick {

WatchTableColumns WatchTable;

namespace {

// The length GetWindowsDirectoryA is first asked with; a longer directory is asked for again.
constexpr std::uint32_t FirstBufferSize = 255;

constexpr WatchColumn<std::string_view> WatchedNames{{
    "hosts",
    "hosts.sam",
    "system32\\drivers\\etc\\hosts",
    "system32\\drivers\\etc\\hosts.sam",
}};

}  // namespace

std::string WindowsDirectoryWithSeparator() {
  const std::string buffer = FilledBuffer<char>(FirstBufferSize, [](char* text, std::size_t size) {
    return GetWindowsDirectoryA(text, static_cast<std::uint32_t>(size));
  });

  // A failed call gives an empty directory, which becomes a lone backslash: the run goes on with
  // paths that name no existing file, so every size is unknown.
  std::string directory = AnsiToUtf8(buffer);
  if (directory.empty() || directory.back() != '\\') directory += '\\';
  return directory;
}

void BuildWatchList() {
  const std::string directory = WindowsDirectoryWithSeparator();
  for (int index = FirstIndex; index <= LastIndex; ++index) {
    WatchTable.FilePaths[index] = directory + std::string(WatchedNames[index]);
  }
}

}  // namespace quenwick
