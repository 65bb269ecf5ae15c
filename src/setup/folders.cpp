// Folders, paths and the files of an install.
#include "setup/folders.h"

#include <algorithm>
#include <cctype>

#include "setup/install_state.h"
#include "setup/setup_names.h"
#include "setup/setup_platform.h"

namespace quenwick {

bool IsAbsolutePath(const std::string& path) {
  const bool onDrive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && path[2] == '\\';
  return onDrive || path.starts_with("\\\\");
}

std::string FullFolder(const std::string& path) {
  if (path.empty()) return path;
  std::string full = FullPath(path);
  if (full.size() > 3 && full.ends_with('\\')) full.pop_back();
  return full;
}

std::string InFolder(const std::string& folder, std::string_view name) {
  return folder + (folder.ends_with('\\') ? "" : "\\") + std::string(name);
}

std::string ParentFolder(const std::string& path) {
  // Where the root ends: after "C:", or after "\\server\share".
  const std::size_t rootEnd =
      path.starts_with("\\\\") ? path.find('\\', path.find('\\', 2) + 1) : 2;
  const std::size_t separator = path.rfind('\\');
  if (rootEnd == std::string::npos || separator == std::string::npos || separator < rootEnd ||
      path.size() <= rootEnd + 1) {
    return "";
  }
  // "C:" alone would be drive C's current folder.
  return path.substr(0, separator == rootEnd ? separator + 1 : separator);
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

bool SameFolder(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  const std::string identity = IdentityOf(a);
  return !identity.empty() && identity == IdentityOf(b);
}

bool InWindowsFolder(const std::string& path) {
  const std::string windows = FolderPath(KnownFolder::Windows);
  for (std::string walked = path; !walked.empty(); walked = ParentFolder(walked)) {
    if (SameFolder(walked, windows)) return true;
  }
  return false;
}

bool IsOwnLeftover(std::string_view name) {
  for (const std::string_view program : {ProgramFile, UninstallerFile}) {
    for (const std::string_view suffix : {NewSuffix, OldSuffix}) {
      if (EqualNoCase(name, std::string(program) + std::string(suffix))) return true;
    }
  }
  const std::string prefix = std::string(RecordFile) + ".";
  if (name.size() <= prefix.size() + TemporaryRecordSuffix.size() ||
      !EqualNoCase(name.substr(0, prefix.size()), prefix) ||
      !EqualNoCase(name.substr(name.size() - TemporaryRecordSuffix.size()),
                   TemporaryRecordSuffix)) {
    return false;
  }
  const std::string_view id =
      name.substr(prefix.size(), name.size() - prefix.size() - TemporaryRecordSuffix.size());
  return std::ranges::all_of(id,
                             [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

void RemoveInstallFiles(const std::string& folder) {
  if (KindOf(folder) != PathKind::Folder) return;
  for (const std::string& name : FolderEntries(folder)) {
    const std::string path = InFolder(folder, name);
    const bool ours = EqualNoCase(name, ProgramFile) || EqualNoCase(name, UninstallerFile) ||
                      EqualNoCase(name, RecordFile) || IsOwnLeftover(name);
    if (ours && KindOf(path) == PathKind::File && !SameFolder(path, Setup.LeftForLater)) {
      DeleteFileIfThere(path);
    }
  }
  RemoveFolderIfEmpty(folder);
}

}  // namespace quenwick
