// The one pass of the checker: measure, compare with the previous run, warn, record, end.
// The program's entry calls RunCheck once.
#pragma once

namespace quenwick {

// Runs the steps of the pass in their fixed order, then ends the program with status 0.
[[noreturn]] void RunCheck();

}  // namespace quenwick
