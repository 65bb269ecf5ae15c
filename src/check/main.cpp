// The program's entry: one check run, and the fatal error report for whatever the run does not
// trap. Each platform's native entry point (main, wWinMain) comes here.
#include <exception>

#include "check/run_check.h"
#include "platform/platform.h"

namespace quenwick {

void ProgramEntry() {
  try {
    RunCheck();
  } catch (const std::exception& failure) {
    ReportFatalError(failure.what());
  }
}

}  // namespace quenwick
