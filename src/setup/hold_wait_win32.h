// The setup program's wait for another program's brief hold on a file that it renames, replaces,
// deletes or opens, each try after the first written to the log.
#pragma once

#include <windows.h>

#include <string>

#include "platform/lock_wait_win32.h"
#include "setup/setup_log.h"

namespace quenwick {

// Antivirus and backup agents open a new or changed file for a moment. Ten seconds outlasts their
// scan of a file of this size many times over, even on a slow disk; longer would only delay the
// answer when a file is held for good.
inline constexpr DWORD HoldBudgetMs = 10000;

template <typename Attempt>
void WaitOutHold(Attempt attempt, const char* call, const std::string& subject) {
  unsigned tries = 0;
  RetryWhileHeld(
      [&] {
        if (tries++ > 0) {
          Log(std::string(call) + "(" + subject + ") is held by another program: trying again");
        }
        return attempt();
      },
      call, subject, HoldBudgetMs);
}

}  // namespace quenwick
