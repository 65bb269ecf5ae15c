// The program's own entry, which each platform's native entry point (main, wWinMain) calls: one
// check run, and the fatal error report for whatever the run does not trap.
#pragma once

namespace quenwick {

[[noreturn]] void ProgramEntry();

}  // namespace quenwick
