// The one pass of the checker, its steps in a fixed order over the program-wide watch table.
// Nothing here traps an error: a failing step ends the run before the steps after it.
#include "check/run_check.h"

#include "check/size_probe.h"
#include "check/watch_table.h"
#include "platform/platform.h"

namespace quenwick {

void RunCheck() {
  BuildWatchList();
  MeasureAll();
  EndProgram(0);
}

}  // namespace quenwick
