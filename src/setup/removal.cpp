// The removal. A running program is waited for, and nothing is removed while it runs; the
// programs go first and the entry last, so that a removal that fails or is cut off can be run
// again.
#include "setup/removal.h"

#include <exception>

#include "platform/platform.h"
#include "setup/exit_codes.h"
#include "setup/folders.h"
#include "setup/install_checks.h"
#include "setup/install_files.h"
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

}  // namespace

void RemoveInstall(const Plan& plan, const CommandLine& asked) {
  if (plan.Folder.empty()) {
    // Nothing is registered; an uninstaller cut off as it removed itself may have left its folder
    // empty.
    RemoveFolderIfEmpty(InFolder(FolderPath(KnownFolder::LocalAppData), DefaultFolder));
    RemoveProgramsFolderIfEmpty();
    return DeleteRegistryKey(std::string(UninstallKey));
  }
  CheckProgramNotRunning(plan, asked);
  std::vector<std::string> folders{plan.Folder};
  folders.insert(folders.end(), plan.OtherFolders.begin(), plan.OtherFolders.end());
  for (const std::string& folder : folders) Log("Removing " + folder);
  try {
    for (const std::string& folder : folders) {
      if (IsOwnFile(folder, std::string(ProgramFile))) {
        DeleteFileIfThere(InFolder(folder, ProgramFile));
      }
    }
    // Only the shortcut that starts one of their programs: one that starts a portable copy is not
    // this install's.
    for (const std::string& folder : folders) {
      if (!ShortcutStarts(folder)) continue;
      DeleteFileIfThere(StartupShortcut());
      DeleteRegistryValue(std::string(StartupApprovedKey), std::string(ShortcutFile));
      break;
    }
    for (const std::string& folder : folders) RemoveInstallFiles(folder, plan.Uninstaller);
    RemoveProgramsFolderIfEmpty();
    if (plan.RemovesEntry) DeleteRegistryKey(std::string(UninstallKey));
  } catch (const std::exception& failure) {
    throw Refusal(ExitFailed, Say(Text::UninstallFailed, failure.what()));
  }
}

void RemoveInstallFiles(const std::string& folder, const std::string& keep) {
  if (KindOf(folder) != PathKind::Folder) return;
  for (const std::string& name : FolderEntries(folder)) {
    const std::string path = InFolder(folder, name);
    if (IsOwnFile(folder, name) && !SameFolder(path, keep)) DeleteFileIfThere(path);
  }
  RemoveFolderIfEmpty(folder);
}

void RemoveHandedOverUninstaller(const std::string& path,
                                 const std::optional<FileIdentity>& original) {
  // Under the lock, and only the very file that ran, so that an install begun since the code was
  // handed back, which takes a lone uninstall.exe for its own and replaces it, keeps its own.
  try {
    if (!original || !TakeLock(InFolder(FolderPath(KnownFolder::LocalAppData), LockFile))) return;
    const std::optional<FileIdentity> now = IdentityOf(path);
    if (now && SameFile(*original, *now) && DeleteFileNow(path)) {
      RemoveFolderIfEmpty(ParentFolder(path));
      RemoveProgramsFolderIfEmpty();
    }
    ReleaseLock();
  } catch (const SystemCallError&) {
    // What is left is an uninstall.exe alone, which the next setup program takes for its own.
  }
}

}  // namespace quenwick
