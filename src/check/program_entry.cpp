// The program's entry: one check run, and the fatal error report for whatever the run does not
// trap. Each platform's native entry point (main, wWinMain) comes here.
#include "check/program_entry.h"

#include <exception>
#include <string>

#include "check/run_check.h"
#include "check/step_failure.h"
#include "platform/platform.h"

namespace quenwick {

void ProgramEntry() {
  try {
    RunCheck();
  } catch (const StepFailure& failure) {
    // The step's sentence says what could not be done; the error nested in it says why.
    try {
      std::rethrow_if_nested(failure);
    } catch (const std::exception& cause) {
      ReportFatalError(failure.what(), cause);
    }
    ReportFatalError(failure.what(), failure);
  } catch (const std::exception& failure) {
    ReportFatalError(std::string(UnexpectedFailure), failure);
  }
}

}  // namespace quenwick
