// What the registry and the folders say of the install, and where a run installs or removes.
#include "setup/install_plan.h"

#include <array>
#include <compare>
#include <cstdlib>
#include <sstream>

#include "setup/folders.h"
#include "setup/install_files.h"
#include "setup/setup_names.h"
#include "setup/setup_version.h"

namespace quenwick {
namespace {

// The registered install and a cut-off one's mark, as the Uninstall key gives them.
Plan ReadRegistered() {
  Plan plan;
  plan.FoundKey = ReadRegistryKey(std::string(UninstallKey));
  const RegistryValues key = plan.FoundKey.value_or(RegistryValues{});
  plan.RegisteredFolder = FullFolder(RegistryString(key, "InstallLocation"));
  plan.RegisteredVersion = RegistryString(key, "DisplayVersion");
  plan.Unfinished = key.contains("MovingTo") || key.contains("MovingFrom");
  plan.MarkedTo = FullFolder(RegistryString(key, "MovingTo"));
  for (const std::string& folder : {plan.RegisteredFolder, plan.MarkedTo}) {
    if (!folder.empty()) plan.KnownFolders.push_back(folder);
  }
  // Folders that a mark leaves, "|" between them, as no path holds one.
  std::istringstream from(RegistryString(key, "MovingFrom"));
  for (std::string folder; std::getline(from, folder, '|');) {
    if (!folder.empty()) plan.KnownFolders.push_back(FullFolder(folder));
  }
  return plan;
}

// The known folders that are there, each once, but for the plan's own.
void FindOtherFolders(Plan& plan) {
  for (const std::string& known : plan.KnownFolders) {
    if (KindOf(known) != PathKind::Folder || SameFolder(known, plan.Folder)) continue;
    bool listed = false;
    for (const std::string& other : plan.OtherFolders) listed = listed || SameFolder(other, known);
    if (!listed) plan.OtherFolders.push_back(known);
  }
}

}  // namespace

Plan PlanInstall(const std::optional<std::string>& given, bool quietRecord) {
  Plan plan = ReadRegistered();
  plan.QuietRecord = quietRecord;
  const std::string base = given.value_or(plan.RegisteredFolder);
  plan.Folder = FullFolder(
      base.empty() ? InFolder(FolderPath(KnownFolder::LocalAppData), DefaultFolder) : base);
  if (!plan.MarkedTo.empty() && (!given || IsKnownFolder(plan, plan.Folder))) {
    plan.Folder = plan.MarkedTo;
  }
  FindOtherFolders(plan);
  return plan;
}

Plan PlanRemoval(const std::string& uninstaller) {
  Plan plan = ReadRegistered();
  plan.Uninstaller = uninstaller;
  if (uninstaller.empty()) {
    // The registered folder, or else the one that a cut-off install was going to.
    plan.Folder = plan.KnownFolders.empty() ? "" : plan.KnownFolders.front();
    plan.RemovesEntry = true;
  } else {
    plan.Folder = FullFolder(ParentFolder(uninstaller));
    plan.RemovesEntry = SameFolder(plan.RegisteredFolder, plan.Folder);
  }
  if (plan.RemovesEntry && !plan.Folder.empty()) FindOtherFolders(plan);
  return plan;
}

bool IsKnownFolder(const Plan& plan, const std::string& folder) {
  for (const std::string& known : plan.KnownFolders) {
    if (SameFolder(known, folder)) return true;
  }
  return false;
}

std::string RegistryString(const RegistryValues& values, const std::string& name) {
  const auto found = values.find(name);
  if (found == values.end()) return "";
  const auto* text = std::get_if<std::string>(&found->second);
  return text ? *text : "";
}

std::string StartupShortcut() { return InFolder(FolderPath(KnownFolder::Startup), ShortcutFile); }

bool ShortcutStarts(const std::string& folder) {
  const std::string target = ShortcutTarget(StartupShortcut());
  return EqualNoCase(FileName(target), ProgramFile) && SameFolder(ParentFolder(target), folder);
}

bool IsWholeInstall(const Plan& plan) {
  const RegistryValues key = ReadRegistryKey(std::string(UninstallKey)).value_or(RegistryValues{});
  if (RegistryString(key, "DisplayVersion") != SetupVersion ||
      !SameFolder(RegistryString(key, "InstallLocation"), plan.Folder) ||
      !ShortcutStarts(plan.Folder)) {
    return false;
  }
  for (const InstallFile& file : InstallFiles) {
    const std::string path = InFolder(plan.Folder, file.Name);
    const bool there = file.Source == FileSource::CarriedProgram
                           ? ProgramVersion(path) == SetupVersion
                           : !IsWritten(file) || KindOf(path) == PathKind::File;
    if (!there) return false;
  }
  return true;
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
