// Removing an install: the uninstaller's for its own folder, and the setup program's /Uninstall
// for the install that the registry names. Both also remove the folders that the mark of a cut-off
// install names, so that nothing is left that starts at logon and that no entry could remove.
#pragma once

namespace quenwick {

// The setup program's /Uninstall: nothing installed is no refusal.
void UninstallRegistered();
// The uninstaller's, for the folder of LeftForLater; when the entry names that folder, with the
// mark's folders and the entry. An uninstaller left in another folder removes only its own.
void UninstallOwnFolder();
// Once the uninstaller that handed its work over has ended: its file, and its folder and
// %LOCALAPPDATA%\Programs when that leaves them empty.
void RemoveHandedOverUninstaller();

}  // namespace quenwick
