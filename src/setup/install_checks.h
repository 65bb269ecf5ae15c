// What the setup program and the uninstaller check before they change anything. Each check that
// refuses throws a Refusal with its exit code and what to tell the user.
#pragma once

#include <string>

namespace quenwick {

// One setup program or uninstaller at a time for a user, in all of the user's logon sessions: two
// at once could each undo half of the other's work. A lock that cannot be taken refuses too.
void TakeSetupLock();
// A per-user program installed for a system account, such as SYSTEM under a deployment tool,
// would never run: no such account logs on, and their profiles all lie in the Windows folder.
void CheckAccount();
// That Folder is one that the program can be started from at logon, short enough for every file
// of the install, and new, empty or Quenwick's own.
void CheckFolder();
// A newer version, registered or in Folder, is never replaced by this one.
void CheckVersion();
// Waits for a quenwick.exe that runs from Folder or one of OtherFolders; asks an interactive user
// to answer its box and retry.
void CheckProgramNotRunning();
// The title of the run's dialogs.
std::string DialogTitle();

}  // namespace quenwick
