// Removing an install: the uninstaller's for its own folder, and the setup program's /Uninstall
// for the install that the registry names. Both also remove the folders that the mark of a cut-off
// install names, so that nothing is left that starts at logon and that no entry could remove.
#pragma once

#include <optional>

#include "setup/setup_platform.h"

namespace quenwick {

// The setup program's /Uninstall: nothing installed is no refusal.
void UninstallRegistered();
// The uninstaller's, for the folder of LeftForLater; when the entry names that folder, with the
// mark's folders and the entry. An uninstaller left in another folder removes only its own.
void UninstallOwnFolder();
// Once the uninstaller that handed its work over has ended: its file, if it is still the one of
// that identity, and its folder and %LOCALAPPDATA%\Programs when that leaves them empty. Never
// waits long and never fails: what it cannot remove, the next setup program takes for its own.
void RemoveHandedOverUninstaller(const std::optional<FileIdentity>& original);

}  // namespace quenwick
