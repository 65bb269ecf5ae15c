// The uninstaller's hand-over to a copy of itself in the temporary folder: the uninstaller cannot
// delete its own file while it runs, so the copy removes the install, gives the exit code back and,
// once the uninstaller has ended, deletes it. And the copies that earlier runs left behind.
#pragma once

#include <optional>

namespace quenwick {

// Runs the copy and gives its exit code; nothing when the copy cannot be made or started (no
// %TEMP%, a policy that refuses programs there), having left no copy behind, so that the uninstall
// runs in place instead.
std::optional<int> HandOverToCopy();
// Deletes the copies in %TEMP% of uninstallers that have ended, which no process runs any more.
// Never fails: a copy that cannot be deleted now is tried again by the next run.
void DeleteStaleCopies();

}  // namespace quenwick
