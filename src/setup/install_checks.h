// What the setup program and the uninstaller check before they change anything. Each check that
// refuses throws a Refusal with its exit code and what to tell the user.
#pragma once

#include "setup/command_line.h"
#include "setup/install_plan.h"

namespace quenwick {

// One setup program or uninstaller at a time for a user, in all of the user's logon sessions: two
// at once could each undo half of the other's work. A lock that cannot be taken refuses too.
void TakeSetupLock();
// A per-user program installed for a system account, such as SYSTEM under a deployment tool,
// would never run: no such account logs on, and their profiles all lie in the Windows folder.
void CheckAccount();
// That the plan's folder is one that the program can be started from at logon, short enough for
// every file of the install, and new, empty or Quenwick's own.
void CheckFolder(const Plan& plan);
// A newer version, registered or in the plan's folder, is never replaced by this one.
void CheckVersion(const Plan& plan);
// Waits for a quenwick.exe that runs from the plan's folders; asks an interactive user to answer
// its box and retry.
void CheckProgramNotRunning(const Plan& plan, const CommandLine& asked);

}  // namespace quenwick
