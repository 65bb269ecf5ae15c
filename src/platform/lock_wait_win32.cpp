// Waiting out another program's brief hold on a file, with pauses that grow up to a budget of about
// one second for each file. A file that nothing holds is opened at the first try, with no pause.
#include "platform/lock_wait_win32.h"

#include <array>
#include <numeric>

namespace quenwick {
namespace {

// Doubling from 10 ms, the last one cut to what is left of the second.
constexpr std::array<DWORD, 7> PausesMs{10, 20, 40, 80, 160, 320, 370};
static_assert(std::accumulate(PausesMs.begin(), PausesMs.end(), DWORD{0}) == 1000);

}  // namespace

bool IsHeldOpen(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsHeldAgainstReplacing(DWORD error) {
  return IsHeldOpen(error) || error == ERROR_ACCESS_DENIED;
}

bool PauseBeforeRetry(unsigned attempt) {
  if (attempt >= PausesMs.size()) return false;
  Sleep(PausesMs[attempt]);
  return true;
}

}  // namespace quenwick
