// Waiting out another program's brief hold on a file, with pauses that grow up to a budget for each
// file. A file that nothing holds is opened at the first try, with no pause.
#include "platform/lock_wait_win32.h"

#include <algorithm>

namespace quenwick {

bool IsHeldOpen(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsHeldAgainstReplacing(DWORD error) {
  return IsHeldOpen(error) || error == ERROR_ACCESS_DENIED;
}

bool PauseBeforeRetry(unsigned attempt, DWORD budgetMs) {
  DWORD waited = 0;
  DWORD pause = 10;
  for (unsigned before = 0; before < attempt && waited < budgetMs; ++before) {
    waited += std::min(pause, budgetMs - waited);
    pause = std::min<DWORD>(pause * 2, 320);
  }
  if (waited >= budgetMs) return false;
  Sleep(std::min(pause, budgetMs - waited));
  return true;
}

}  // namespace quenwick
