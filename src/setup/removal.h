// Removing an install: the uninstaller's for its own folder, and the setup program's /Uninstall
// for the install that the registry names. Both also remove the folders that the mark of a cut-off
// install names, so that nothing is left that starts at logon and that no entry could remove.
#pragma once

#include <optional>
#include <string>

#include "setup/command_line.h"
#include "setup/install_plan.h"
#include "setup/setup_platform.h"

namespace quenwick {

// Removes what the plan names, once no program of its folders runs; nothing installed is no
// refusal. Throws a Refusal with what could not be removed.
void RemoveInstall(const Plan& plan, const CommandLine& asked);
// Deletes Quenwick's own files in folder, and nothing else, but the file at keep; then the folder
// itself, if that leaves it empty.
void RemoveInstallFiles(const std::string& folder, const std::string& keep);
// Once the uninstaller at path that handed its work over has ended: its file, if it is still the
// one of that identity, and its folder and %LOCALAPPDATA%\Programs when that leaves them empty.
// Never waits long and never fails: what it cannot remove, the next setup program takes for its
// own.
void RemoveHandedOverUninstaller(const std::string& path,
                                 const std::optional<FileIdentity>& original);

}  // namespace quenwick
