// The removal. A running program is waited for, and nothing is removed while it runs; the
// programs go first and the entry last, so that a removal that fails or is cut off can be run
// again.
#include "setup/removal.h"

#include <exception>

#include "platform/platform.h"
#include "setup/exit_codes.h"
#include "setup/folders.h"
#include "setup/install_checks.h"
#include "setup/install_state.h"
#include "setup/messages.h"
#include "setup/refusal.h"
#include "setup/setup_log.h"
#include "setup/setup_names.h"
#include "setup/setup_platform.h"

namespace quenwick {
namespace {

// An install made %LOCALAPPDATA%\Programs if it was missing; it goes when nothing else is in it.
void RemoveProgramsFolderIfEmpty() {
  RemoveFolderIfEmpty(InFolder(FolderPath(KnownFolder::LocalAppData), ProgramsFolder));
}

// Removes what an install made in Folder and OtherFolders, and what the program writes there: a
// folder goes only when that leaves it empty, and the shortcut only when it starts one of their
// programs, as one that starts a portable copy is not this install's.
void RemoveInstall(bool ownEntry) {
  CheckProgramNotRunning();
  std::vector<std::string> folders{Setup.Folder};
  folders.insert(folders.end(), Setup.OtherFolders.begin(), Setup.OtherFolders.end());
  for (const std::string& folder : folders) Log("Removing " + folder);
  try {
    for (const std::string& folder : folders) {
      if (IsOwnFile(folder, std::string(ProgramFile))) {
        DeleteFileIfThere(InFolder(folder, ProgramFile));
      }
    }
    for (const std::string& folder : folders) {
      if (!ShortcutStarts(folder)) continue;
      DeleteFileIfThere(StartupShortcut());
      DeleteRegistryValue(std::string(StartupApprovedKey), std::string(ShortcutFile));
      break;
    }
    for (const std::string& folder : folders) RemoveInstallFiles(folder);
    RemoveProgramsFolderIfEmpty();
    if (ownEntry) DeleteRegistryKey(std::string(UninstallKey));
  } catch (const std::exception& failure) {
    throw Refusal(ExitFailed, Say(Message::UninstallFailed, failure.what()));
  }
}

}  // namespace

void UninstallRegistered() {
  if (Setup.KnownFolders.empty()) {
    // An uninstaller cut off as it removed itself may have left its folder empty.
    RemoveFolderIfEmpty(InFolder(FolderPath(KnownFolder::LocalAppData), DefaultFolder));
    RemoveProgramsFolderIfEmpty();
    return DeleteRegistryKey(std::string(UninstallKey));
  }
  // The registered folder, or else the one that a cut-off install was going to.
  Setup.Folder = Setup.KnownFolders.front();
  FindOtherFolders();
  RemoveInstall(true);
}

void UninstallOwnFolder() {
  Setup.Folder = FullFolder(ParentFolder(Setup.LeftForLater));
  const bool ownEntry = SameFolder(Setup.RegisteredFolder, Setup.Folder);
  if (ownEntry) FindOtherFolders();
  RemoveInstall(ownEntry);
}

void RemoveHandedOverUninstaller(const std::optional<FileIdentity>& original) {
  // Under the lock, and only the very file that ran, so that an install begun since the code was
  // handed back, which takes a lone uninstall.exe for its own and replaces it, keeps its own.
  try {
    if (!original || !TakeLock(InFolder(FolderPath(KnownFolder::LocalAppData), LockFile))) return;
    const std::optional<FileIdentity> now = IdentityOf(Setup.LeftForLater);
    if (now && SameFile(*original, *now) && DeleteFileNow(Setup.LeftForLater)) {
      RemoveFolderIfEmpty(ParentFolder(Setup.LeftForLater));
      RemoveProgramsFolderIfEmpty();
    }
    ReleaseLock();
  } catch (const SystemCallError&) {
    // What is left is an uninstall.exe alone, which the next setup program takes for its own.
  }
}

}  // namespace quenwick
