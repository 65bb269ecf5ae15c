// The checks before any change.
#include "setup/install_checks.h"

#include "platform/platform.h"
#include "setup/exit_codes.h"
#include "setup/folders.h"
#include "setup/install_files.h"
#include "setup/messages.h"
#include "setup/refusal.h"
#include "setup/setup_names.h"
#include "setup/setup_version.h"

namespace quenwick {
namespace {

// Every path of an install must fit in MAX_PATH's 259 characters on a Windows without long paths,
// the longest of its names after a separator.
constexpr std::size_t FolderLengthLimit = 259 - 1 - LongestInstallName();

// A folder that holds anything but Quenwick's own files, such as another program's uninstaller
// beside a portable quenwick.exe, keeps Quenwick out, so that removing it never removes anything
// else. The folders of the registered install and of a cut-off one are Quenwick's, whatever the
// user has put in them since.
bool FolderIsOurs(const Plan& plan) {
  if (KindOf(plan.Folder) != PathKind::Folder || IsKnownFolder(plan, plan.Folder)) return true;
  for (const std::string& name : FolderEntries(plan.Folder)) {
    if (!IsOwnFile(plan.Folder, name)) return false;
  }
  return true;
}

// Whether a process of this user runs the program at path, compared by identity, so that another
// folder's quenwick.exe does not count.
bool ProgramRuns(const std::string& path) {
  const std::optional<FileIdentity> identity = IdentityOf(path);
  if (!identity) return false;
  for (const std::string& running : RunningPrograms(FileName(path))) {
    const std::optional<FileIdentity> other = IdentityOf(running);
    if (other && SameFile(*identity, *other)) return true;
  }
  return false;
}

// Whether the program at path still runs after five seconds.
bool StillRuns(const std::string& path) {
  for (int tries = 0; tries < 10; ++tries) {
    if (!ProgramRuns(path)) return false;
    Pause(500);
  }
  return true;
}

}  // namespace

void TakeSetupLock() {
  const std::string lock = InFolder(FolderPath(KnownFolder::LocalAppData), LockFile);
  try {
    if (!TakeLock(lock)) throw Refusal(ExitRunning, Say(Text::AnotherSetupRunning));
  } catch (const SystemCallError& failure) {
    throw Refusal(ExitFailed, Say(Text::LockFailed, lock, failure.code().message()));
  }
}

void CheckAccount() {
  const std::string profile = FolderPath(KnownFolder::Profile);
  if (InWindowsFolder(profile)) {
    throw Refusal(ExitNotForThisAccount, Say(Text::NotForThisAccount, profile));
  }
}

void CheckFolder(const Plan& plan) {
  if (InWindowsFolder(plan.Folder)) {
    throw Refusal(ExitNotForThisAccount, Say(Text::FolderInWindows, plan.Folder));
  }
  if (WindowsLength(plan.Folder) > FolderLengthLimit) {
    throw Refusal(ExitFolderTooLong, Say(Text::FolderTooLong));
  }
  if (!FolderIsOurs(plan)) {
    throw Refusal(ExitFolderNotEmpty, Say(Text::FolderNotEmpty, plan.Folder));
  }
}

void CheckVersion(const Plan& plan) {
  std::string newer = plan.RegisteredVersion;
  // A registered install whose program has gone counts for nothing.
  if (plan.RegisteredFolder.empty() ||
      KindOf(InFolder(plan.RegisteredFolder, ProgramFile)) != PathKind::File ||
      CompareVersions(newer, SetupVersion) <= 0) {
    newer = ProgramVersion(InFolder(plan.Folder, ProgramFile));
  }
  if (CompareVersions(newer, SetupVersion) > 0) {
    throw Refusal(ExitNewerInstalled, Say(Text::NewerInstalled, newer, SetupVersion));
  }
}

void CheckProgramNotRunning(const Plan& plan, const CommandLine& asked) {
  for (;;) {
    bool running = StillRuns(InFolder(plan.Folder, ProgramFile));
    for (const std::string& other : plan.OtherFolders) {
      running = running || StillRuns(InFolder(other, ProgramFile));
    }
    if (!running) return;
    if (asked.Silent || ShowSetupMessage(DialogTitle(asked.Uninstall), Say(Text::ProgramRunning),
                                         MessageKind::Running) != Answer::Retry) {
      throw Refusal(ExitRunning, "");  // the box has said why
    }
  }
}

}  // namespace quenwick
