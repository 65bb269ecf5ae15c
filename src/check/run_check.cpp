// The one pass of the checker, its steps in a fixed order over the program-wide watch table.
// Nothing here traps an error: a failing step ends the run before the steps after it.
#include "check/run_check.h"

#include "check/baseline_file.h"
#include "check/size_probe.h"
#include "check/watch_table.h"
#include "platform/platform.h"

namespace quenwick {

void RunCheck() {
  BuildWatchList();
  MeasureAll();
  LoadBaseline();
  // Saved only after the run got this far, so a run stopped early leaves the old baseline whole.
  SaveBaseline();
  EndProgram(0);
}

}  // namespace quenwick
