// Tells the user which watched files changed size since the previous run, one box at a time, and
// opens each in Notepad on request.
#pragma once

#include <string>

namespace quenwick {

// The warning for the watched file at path.
std::string ChangeWarning(const std::string& path);

// Warns about every entry whose current size differs from a recorded size, in index order, and
// starts the viewer for each one the user answers Yes to, without waiting for it. Throws a
// StepFailure when the viewer cannot be started.
void ReportChanges();

}  // namespace quenwick
