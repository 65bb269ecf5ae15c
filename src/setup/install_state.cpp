// The run's state, and what the registry and the folders say of the install.
#include "setup/install_state.h"

#include <array>
#include <compare>
#include <cstdlib>
#include <sstream>

#include "setup/folders.h"
#include "setup/setup_names.h"
#include "setup/setup_version.h"

namespace quenwick {

SetupStateColumns Setup;

std::string RegistryString(const RegistryValues& values, const std::string& name) {
  const auto found = values.find(name);
  if (found == values.end()) return "";
  const auto* text = std::get_if<std::string>(&found->second);
  return text ? *text : "";
}

void ReadRegisteredInstall() {
  Setup.FoundKey = ReadRegistryKey(std::string(UninstallKey));
  const RegistryValues key = Setup.FoundKey.value_or(RegistryValues{});
  Setup.RegisteredFolder = FullFolder(RegistryString(key, "InstallLocation"));
  Setup.RegisteredVersion = RegistryString(key, "DisplayVersion");
  Setup.MarkedTo = FullFolder(RegistryString(key, "MovingTo"));
  Setup.KnownFolders.clear();
  for (const std::string& folder : {Setup.RegisteredFolder, Setup.MarkedTo}) {
    if (!folder.empty()) Setup.KnownFolders.push_back(folder);
  }
  // Folders that a mark leaves, "|" between them, as no path holds one.
  std::istringstream from(RegistryString(key, "MovingFrom"));
  for (std::string folder; std::getline(from, folder, '|');) {
    if (!folder.empty()) Setup.KnownFolders.push_back(FullFolder(folder));
  }
}

void ChooseFolder() {
  const std::string base = Setup.GivenFolder.value_or(Setup.RegisteredFolder);
  Setup.Folder = FullFolder(
      base.empty() ? InFolder(FolderPath(KnownFolder::LocalAppData), DefaultFolder) : base);
  if (!Setup.MarkedTo.empty() && (!Setup.GivenFolder || IsKnownFolder(Setup.Folder))) {
    Setup.Folder = Setup.MarkedTo;
  }
}

bool IsKnownFolder(const std::string& folder) {
  for (const std::string& known : Setup.KnownFolders) {
    if (SameFolder(known, folder)) return true;
  }
  return false;
}

void FindOtherFolders() {
  Setup.OtherFolders.clear();
  for (const std::string& known : Setup.KnownFolders) {
    if (KindOf(known) != PathKind::Folder || SameFolder(known, Setup.Folder)) continue;
    bool listed = false;
    for (const std::string& other : Setup.OtherFolders) listed = listed || SameFolder(other, known);
    if (!listed) Setup.OtherFolders.push_back(known);
  }
}

std::string StartupShortcut() { return InFolder(FolderPath(KnownFolder::Startup), ShortcutFile); }

bool ShortcutStarts(const std::string& folder) {
  const std::string target = ShortcutTarget(StartupShortcut());
  return EqualNoCase(FileName(target), ProgramFile) && SameFolder(ParentFolder(target), folder);
}

bool IsWholeInstall() {
  const RegistryValues key = ReadRegistryKey(std::string(UninstallKey)).value_or(RegistryValues{});
  return RegistryString(key, "DisplayVersion") == SetupVersion &&
         KindOf(InFolder(Setup.Folder, UninstallerFile)) == PathKind::File &&
         ProgramVersion(InFolder(Setup.Folder, ProgramFile)) == SetupVersion &&
         SameFolder(RegistryString(key, "InstallLocation"), Setup.Folder) &&
         ShortcutStarts(Setup.Folder);
}

int CompareVersions(const std::string& a, const std::string& b) {
  const auto parts = [](const std::string& version) {
    std::array<long, 3> numbers{-1, -1, -1};
    for (std::size_t part = 0, at = 0; part < numbers.size() && at < version.size(); ++part) {
      numbers[part] = std::strtol(version.c_str() + at, nullptr, 10);
      at = version.find('.', at);
      if (at == std::string::npos) break;
      ++at;
    }
    return numbers;
  };
  const auto order = parts(a) <=> parts(b);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

}  // namespace quenwick
