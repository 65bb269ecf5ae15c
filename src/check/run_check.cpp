// The one pass of the checker, its steps in a fixed order over the program-wide watch table.
// Nothing here traps an error: a failing step ends the run before the steps after it.
#include "check/run_check.h"

#include "check/baseline_file.h"
#include "check/change_report.h"
#include "check/size_probe.h"
#include "check/watch_table.h"
#include "platform/platform.h"

namespace quenwick {

void RunCheck() {
  BuildWatchList();
  MeasureAll();
  LoadBaseline();
  ReportChanges();
  // Saved only once every warning has been answered: a run stopped before that leaves the old
  // baseline in place, and the next run warns again.
  SaveBaseline();
  EndProgram(0);
}

}  // namespace quenwick
