// The state of one run of the setup program, shared in place by its checks and steps: what the
// command line asks, what the registry says of the install, the folder that the run installs into
// or removes and the folders it leaves, and what the steps did, for their undo.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "setup/setup_platform.h"

namespace quenwick {

struct SetupStateColumns {
  bool Silent = false;
  bool QuietFirstLogon = false;
  bool Uninstall = false;
  std::optional<std::string> GivenFolder;  // /D=, as given
  std::string LogPath;                     // /Log=, or ""

  // The Uninstall key as this run found it, with the install that it registers and the mark of an
  // install that was cut off: the folder it was going to and those it was leaving.
  std::optional<RegistryValues> FoundKey;
  std::string RegisteredFolder;
  std::string RegisteredVersion;
  std::string MarkedTo;
  // The registered folder, the marked one and those that the mark leaves, in full.
  std::vector<std::string> KnownFolders;

  std::string Folder;                     // the folder installed into or removed, in full
  std::vector<std::string> OtherFolders;  // the known folders that are there, but for Folder
  std::string LeftForLater;               // the running uninstaller's own file, removed after it

  // What the steps did.
  std::vector<std::string> MadeFolders;  // innermost first
  bool HadProgram = false;
  bool HadUninstaller = false;
  bool RecordWritten = false;
  std::optional<std::string> RecordReplaced;  // the invalid record that a brought one replaced
  bool ShortcutBegun = false;
  std::optional<std::string> ShortcutReplaced;
  std::vector<std::string> SetAside;  // the left folders whose program is now .old
};

extern SetupStateColumns Setup;

std::string RegistryString(const RegistryValues& values, const std::string& name);
// Reads the registered install and the mark into Setup.
void ReadRegisteredInstall();
// The install's folder: /D=, the registered one or the default; and after a cut-off install the
// folder that it was going to, unless /D= names a folder that it did not touch.
void ChooseFolder();
bool IsKnownFolder(const std::string& folder);
void FindOtherFolders();
// The Startup shortcut's path, and whether it starts quenwick.exe in folder.
std::string StartupShortcut();
bool ShortcutStarts(const std::string& folder);
// Whether Folder holds a whole install of this version, as every detection that the guide gives
// looks for one: its program of this version and its uninstaller, the shortcut starting that
// program, and the entry naming this version and folder.
bool IsWholeInstall();
// -1, 0 or 1 as version a, "major.minor.patch", is older than b, the same or newer; "" is oldest.
int CompareVersions(const std::string& a, const std::string& b);

}  // namespace quenwick
