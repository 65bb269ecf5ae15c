// Folders, paths and the files of an install.
#include "setup/folders.h"

#include <algorithm>
#include <cctype>
#include <charconv>

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
  const std::size_t server = path.starts_with("\\\\") ? path.find('\\', 2) : 0;
  if (server == std::string::npos) return "";
  const std::size_t rootEnd = path.starts_with("\\\\") ? path.find('\\', server + 1) : 2;
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

namespace {

constexpr std::uint64_t AllOnes = ~std::uint64_t{0};

// All zeros is the "no id" of FILE_ID_INFO and of BY_HANDLE_FILE_INFORMATION, and all ones is
// FILE_INVALID_FILE_ID: neither tells one file from another.
bool IsId(const std::array<std::uint64_t, 2>& id) {
  return !(id[0] == 0 && id[1] == 0) && !(id[0] == AllOnes && id[1] == AllOnes);
}
bool IsIndex(std::uint64_t index) { return index != 0 && index != AllOnes; }

}  // namespace

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  if (IsId(a.Id) && IsId(b.Id)) return a.Volume == b.Volume && a.Id == b.Id;
  if (IsIndex(a.Index) && IsIndex(b.Index)) {
    return a.IndexVolume == b.IndexVolume && a.Index == b.Index;
  }
  return !a.FinalPath.empty() && EqualNoCase(a.FinalPath, b.FinalPath);
}

bool SameFolder(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  const std::optional<FileIdentity> identity = IdentityOf(a);
  if (!identity) return false;
  const std::optional<FileIdentity> other = IdentityOf(b);
  return other && SameFile(*identity, *other);
}

bool InWindowsFolder(const std::string& path) {
  const std::string windows = FolderPath(KnownFolder::Windows);
  for (std::string walked = path; !walked.empty(); walked = ParentFolder(walked)) {
    if (SameFolder(walked, windows)) return true;
  }
  return false;
}

std::optional<std::uint32_t> ProcessIdIn(std::string_view name, std::string_view prefix,
                                         std::string_view suffix) {
  if (name.size() <= prefix.size() + suffix.size() ||
      !EqualNoCase(name.substr(0, prefix.size()), prefix) ||
      !EqualNoCase(name.substr(name.size() - suffix.size()), suffix)) {
    return std::nullopt;
  }
  const std::string_view id =
      name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  std::uint32_t processId = 0;
  const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), processId);
  if (error != std::errc{} || end != id.data() + id.size()) return std::nullopt;
  return processId;
}

std::size_t WindowsLength(std::string_view path) {
  std::size_t length = 0;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    length += (byte & 0xC0) != 0x80;  // a character's first byte
    length += byte >= 0xF0;           // and a second unit beyond the basic plane
  }
  return length;
}

bool RemoveFolderIfEmpty(const std::string& path) {
  // RemoveDirectoryW removes a junction or a symbolic link however full its target is.
  return KindOf(path) == PathKind::Folder && !IsLink(path) && RemoveEmptyFolder(path);
}

}  // namespace quenwick
