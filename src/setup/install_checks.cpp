// The checks before any change.
#include "setup/install_checks.h"

#include "platform/platform.h"
#include "setup/exit_codes.h"
#include "setup/folders.h"
#include "setup/install_state.h"
#include "setup/messages.h"
#include "setup/refusal.h"
#include "setup/setup_names.h"
#include "setup/setup_version.h"

namespace quenwick {
namespace {

// The longest path that an install holds is the program's own temporary record,
// "data.dat.<process id>.tmp" (24 characters with its separator): on a Windows without long paths,
// every path must fit in MAX_PATH's 259 characters.
constexpr std::size_t FolderLengthLimit = 235;

// A path's length as Windows counts it, in UTF-16 code units.
std::size_t WindowsLength(const std::string& path) {
  std::size_t length = 0;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    length += (byte & 0xC0) != 0x80;  // a character's first byte
    length += byte >= 0xF0;           // and a second unit beyond the basic plane
  }
  return length;
}

// A folder that holds anything but Quenwick's own files, such as another program's uninstaller
// beside a portable quenwick.exe, keeps Quenwick out, so that removing it never removes anything
// else. The folders of the registered install and of a cut-off one are Quenwick's, whatever the
// user has put in them since.
bool FolderIsOurs() {
  if (KindOf(Setup.Folder) != PathKind::Folder || IsKnownFolder(Setup.Folder)) return true;
  for (const std::string& name : FolderEntries(Setup.Folder)) {
    if (!IsOwnFile(Setup.Folder, name)) return false;
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

std::string DialogTitle() {
  return Say(Setup.Uninstall ? Message::UninstallTitle : Message::SetupTitle);
}

void TakeSetupLock() {
  const std::string lock = InFolder(FolderPath(KnownFolder::LocalAppData), LockFile);
  try {
    if (!TakeLock(lock)) throw Refusal(ExitRunning, Say(Message::AnotherSetupRunning));
  } catch (const SystemCallError& failure) {
    throw Refusal(ExitFailed, Say(Message::LockFailed, lock, failure.code().message()));
  }
}

void CheckAccount() {
  const std::string profile = FolderPath(KnownFolder::Profile);
  if (InWindowsFolder(profile)) {
    throw Refusal(ExitNotForThisAccount, Say(Message::NotForThisAccount, profile));
  }
}

void CheckFolder() {
  if (InWindowsFolder(Setup.Folder)) {
    throw Refusal(ExitNotForThisAccount, Say(Message::FolderInWindows, Setup.Folder));
  }
  if (WindowsLength(Setup.Folder) > FolderLengthLimit) {
    throw Refusal(ExitFolderTooLong, Say(Message::FolderTooLong));
  }
  if (!FolderIsOurs())
    throw Refusal(ExitFolderNotEmpty, Say(Message::FolderNotEmpty, Setup.Folder));
}

void CheckVersion() {
  std::string newer = Setup.RegisteredVersion;
  // A registered install whose program has gone counts for nothing.
  if (Setup.RegisteredFolder.empty() ||
      KindOf(InFolder(Setup.RegisteredFolder, ProgramFile)) != PathKind::File ||
      CompareVersions(newer, SetupVersion) <= 0) {
    newer = ProgramVersion(InFolder(Setup.Folder, ProgramFile));
  }
  if (CompareVersions(newer, SetupVersion) > 0) {
    throw Refusal(ExitNewerInstalled, Say(Message::NewerInstalled, newer, SetupVersion));
  }
}

void CheckProgramNotRunning() {
  for (;;) {
    bool running = StillRuns(InFolder(Setup.Folder, ProgramFile));
    for (const std::string& other : Setup.OtherFolders) {
      running = running || StillRuns(InFolder(other, ProgramFile));
    }
    if (!running) return;
    if (Setup.Silent || ShowSetupMessage(DialogTitle(), Say(Message::ProgramRunning),
                                         MessageKind::Running) != Answer::Retry) {
      throw Refusal(ExitRunning, "");  // the box has said why
    }
  }
}

}  // namespace quenwick
