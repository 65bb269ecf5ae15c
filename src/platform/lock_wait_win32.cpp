// Waiting out another program's brief hold on a file, with pauses that grow up to a budget of about
// one second for each file. A file that nothing holds is opened at the first try, with no pause.
#include "platform/lock_wait_win32.h"

#include <algorithm>

namespace quenwick {
namespace {

constexpr DWORD FirstPauseMs = 10;
constexpr DWORD BudgetMs = 1000;
constexpr unsigned LastDoublingAttempt = 7;  // 10 ms doubled seven times is past the budget

}  // namespace

bool IsHeldOpen(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsHeldAgainstReplacing(DWORD error) {
  return IsHeldOpen(error) || error == ERROR_ACCESS_DENIED;
}

bool PauseBeforeRetry(unsigned attempt) {
  attempt = std::min(attempt, LastDoublingAttempt);
  const DWORD pause = FirstPauseMs << attempt;
  const DWORD waited = std::min(BudgetMs, pause - FirstPauseMs);  // the pauses before this one
  if (waited == BudgetMs) return false;
  Sleep(std::min(pause, BudgetMs - waited));
  return true;
}

}  // namespace quenwick
