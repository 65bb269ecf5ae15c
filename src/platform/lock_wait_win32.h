// Waiting out another program's brief hold on a file: antivirus scanners (which often open a file
// that was just written), backup and sync tools, and editors while they save.
#pragma once

#include <windows.h>

#include <string>

#include "platform/error_win32.h"

namespace quenwick {

// Whether an open failed because another program holds the file: ERROR_SHARING_VIOLATION when it
// has the file open without sharing it, ERROR_LOCK_VIOLATION when it has locked it. Only these are
// momentary: a missing file, a folder or refused access stays as it is, and fails at once.
bool IsHeldOpen(DWORD error);

// Whether replacing a file failed because another program holds it: besides the two errors of an
// open, ERROR_ACCESS_DENIED, which is what MoveFileExW gives for a target that is open without
// delete sharing.
bool IsHeldAgainstReplacing(DWORD error);

// Pauses after the failed try numbered attempt (0 for the first) on a held file and gives true, or
// gives false at once when the file has been waited for budgetMs in all. The pauses grow from 10
// ms, doubling up to 320 ms, the last cut to what is left of the budget. The program's budget is
// one second: scanners and sync tools let go within tens of milliseconds, and a checker that runs
// at logon must not keep the user waiting on a file that stays locked. npm's graceful-fs and Git
// for Windows wait out renames and deletes the same way.
bool PauseBeforeRetry(unsigned attempt, DWORD budgetMs = 1000);

// Calls attempt until it gives true, while its failure may be another program's brief hold on a
// file that is renamed, replaced or deleted, for budgetMs in all; then throws the last error for
// call on subject.
template <typename Attempt>
void RetryWhileHeld(Attempt attempt, const char* call, const std::string& subject,
                    DWORD budgetMs = 1000) {
  for (unsigned tries = 0;; ++tries) {
    if (attempt()) return;
    const DWORD error = GetLastError();
    if (!IsHeldAgainstReplacing(error) || !PauseBeforeRetry(tries, budgetMs)) {
      ThrowWin32Error(error, call, subject);
    }
  }
}

}  // namespace quenwick
