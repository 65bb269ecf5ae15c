// The plan of a run: computed once, in one place, from what the command line asks, the registry and
// the folders, and then only read by the checks, the steps and the removal.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "setup/setup_platform.h"

namespace quenwick {

struct Plan {
  // The Uninstall key as this run found it, whose values the mark's undo puts back, the install
  // that it registers, and whether it holds the mark of an install that was cut off.
  std::optional<RegistryValues> FoundKey;
  std::string RegisteredFolder;
  std::string RegisteredVersion;
  bool Unfinished = false;
  std::string MarkedTo;  // the folder that a cut-off install was going to, in full
  // The registered folder, the marked one and those that the mark leaves, in full.
  std::vector<std::string> KnownFolders;
  std::string Folder;                     // installed into or removed, in full; "" for none
  std::vector<std::string> OtherFolders;  // the known folders that are there, but for Folder
  bool QuietRecord = false;               // /QuietFirstLogon
  // The removal's: the running uninstaller's own file, which it leaves for later, or "", and
  // whether it removes the entry, which it does only for the registered folder.
  std::string Uninstaller;
  bool RemovesEntry = false;
};

// An install into given (/D=, or the folder chosen in the dialog), the registered folder or the
// default; and after a cut-off install, into the folder that it was going to, unless given names
// a folder that it did not touch.
Plan PlanInstall(const std::optional<std::string>& given, bool quietRecord);
// The removal of the registered install, with the folders of a cut-off one; or, for the
// uninstaller at that path, of its own folder, and only then of the entry when it names that
// folder.
Plan PlanRemoval(const std::string& uninstaller);

bool IsKnownFolder(const Plan& plan, const std::string& folder);
std::string RegistryString(const RegistryValues& values, const std::string& name);
// The Startup shortcut's path, and whether it starts quenwick.exe in folder.
std::string StartupShortcut();
bool ShortcutStarts(const std::string& folder);
// Whether the plan's folder holds a whole install of this version, as every detection that the
// guide gives looks for one: each file that an install writes, its program of this version, the
// shortcut starting that program, and the entry naming this version and folder.
bool IsWholeInstall(const Plan& plan);
// -1, 0 or 1 as version a, "major.minor.patch", is older than b, the same or newer; "" is oldest.
int CompareVersions(const std::string& a, const std::string& b);

}  // namespace quenwick
