// The hand-over and the sweep of stale copies.
#include "setup/hand_over.h"

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "setup/folders.h"
#include "setup/setup_log.h"
#include "setup/setup_names.h"
#include "setup/setup_platform.h"

namespace quenwick {
namespace {

std::string CopyName(std::uint32_t processId) {
  return std::string(CopyPrefix) + std::to_string(processId) + std::string(CopySuffix);
}

// The uninstaller's id in a copy's name, or nothing for a name that is not a copy's.
std::optional<std::uint32_t> CopyOf(const std::string& name) {
  return ProcessIdIn(name, CopyPrefix, CopySuffix);
}

}  // namespace

std::optional<int> HandOverToCopy() {
  std::string copy;
  try {
    copy = InFolder(FolderPath(KnownFolder::Temp), CopyName(ProcessId()));
    CopyFileOver(OwnProgramPath(), copy);
    // CopyFileW copies the read-only attribute too, and a read-only file cannot be opened to be
    // deleted on close.
    ClearReadOnly(copy);
    OpenToDeleteOnClose(copy);
  } catch (const SystemCallError& failure) {
    Log(std::string("No copy in the temporary folder: ") + failure.what());
    try {
      if (!copy.empty()) DeleteFileNow(copy);
    } catch (const SystemCallError&) {
      // The next run's sweep deletes it.
    }
    return std::nullopt;
  }
  try {
    Log("Handing over to " + copy);
    const int exitCode = StartCopyAndWait(copy);
    Log("The copy gave back " + std::to_string(exitCode));
    return exitCode;
  } catch (const SystemCallError& failure) {
    Log(std::string("The copy could not be started: ") + failure.what());
    return std::nullopt;
  }
}

void DeleteStaleCopies() {
  try {
    const std::string temporary = FolderPath(KnownFolder::Temp);
    if (KindOf(temporary) != PathKind::Folder) return;
    for (const std::string& name : FolderEntries(temporary)) {
      // A copy whose uninstaller still runs is being started, or is at work.
      const std::optional<std::uint32_t> uninstaller = CopyOf(name);
      if (uninstaller && !ProcessIsRunning(*uninstaller)) {
        DeleteFileNow(InFolder(temporary, name));
      }
    }
  } catch (const SystemCallError&) {
    // Left for the next run.
  }
}

}  // namespace quenwick
