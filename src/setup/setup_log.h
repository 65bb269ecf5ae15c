// The log that /Log= asks for: one UTF-8 file for each run, a line for each thing that the run did,
// each with its local time, for an admin to read when a silent run gives a code. A log that cannot
// be written is let go of without a word: it changes nothing that the run does. Without /Log=,
// nothing is written.
#pragma once

#include <string>

namespace quenwick {

// Writes the log at path from here on: afresh, or after what the uninstaller that handed its work
// over to this copy wrote.
void StartLog(const std::string& path, bool continued);
void Log(const std::string& line);

}  // namespace quenwick
