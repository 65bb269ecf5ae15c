// The steps of an install, in one table, each able to undo itself. First a mark in the registry of
// where the install goes and what it leaves, flushed to the disk before any file changes. Then
// everything but the program: the folder, the files written beside what they replace, the files
// put in place, the record brought from a folder that the install leaves, the Apps & features
// entry without its version, the Startup shortcut, the programs of the folders left set aside.
// Then the commit: quenwick.exe takes its place, before which no detection that the guide gives
// says "installed". Last the entry's version. A step that fails undoes every step begun, the last
// first, so that what was there stays as it was. Once the install is whole, the steps that let go
// of what it replaced, which are never undone. An install that is cut off (killed, a logoff, a lost
// power) undoes nothing: its mark lets the next run finish it, and the uninstall remove it.
#pragma once

#include <string>
#include <vector>

#include "setup/install_plan.h"

namespace quenwick {

// Installs as the plan says, or throws a Refusal having undone everything.
void RunInstall(const Plan& plan);
// A silent run over a whole install of this version, with nothing of a cut-off install to finish,
// changes nothing but the quiet record that /QuietFirstLogon asks for, and gives true; so a logon
// script can run the setup program at every logon, whether or not the program is running.
bool LeaveWholeInstall(const Plan& plan);
// The points where a setup program built for the tests may be cut off: once each step is done, by
// the step's name.
std::vector<std::string> StopPoints();

}  // namespace quenwick
