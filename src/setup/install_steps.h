// The steps of an install, each able to undo itself. First a mark in the registry of where the
// install goes and what it leaves, flushed to the disk before any file changes. Then everything but
// the program: the uninstaller, the record brought from a folder that the install leaves, the Apps
// & features entry without its version, the Startup shortcut, the programs of the folders left set
// aside. Then the commit: quenwick.exe takes its place, before which no detection that the guide
// gives says "installed". Last the entry's version, and the letting go of what the install
// replaced. A step that fails undoes every step begun, the last first, so that what was there stays
// as it was. An install that is cut off (killed, a logoff, a lost power) undoes nothing: its mark
// lets the next run finish it, and the uninstall remove it.
#pragma once

namespace quenwick {

// Installs into Setup.Folder, or throws a Refusal having undone everything.
void RunInstall();
// A silent run over a whole install of this version, with nothing of a cut-off install to finish,
// changes nothing but the quiet record that /QuietFirstLogon asks for, and gives true; so a logon
// script can run the setup program at every logon, whether or not the program is running.
bool LeaveWholeInstall();

}  // namespace quenwick
