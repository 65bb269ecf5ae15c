// What the setup program knows of folders: paths in full, whether two paths name one folder,
// whether a path lies in the Windows folder, and removing one that is empty.
// Folders are told apart by what the file system says of them, never by their names, which a
// doubled separator, a "..", a short name or another drive letter can change.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "setup/setup_platform.h"

namespace quenwick {

// Whether a path is absolute, on a drive (C:\...) or a share (\\server\...): a relative one would
// name a folder by the current folder, which a deployment tool chooses.
bool IsAbsolutePath(const std::string& path);
// The folder in full, without a separator at its end but at a drive's root; "" for "".
std::string FullFolder(const std::string& path);
std::string InFolder(const std::string& folder, std::string_view name);
// The folder that holds a full path, with a drive's root as "C:\"; "" above a root or a share.
std::string ParentFolder(const std::string& path);
std::string FileName(const std::string& path);
bool EqualNoCase(std::string_view a, std::string_view b);
// Whether two identities are of one file or folder: by the 128-bit id where both have one, as on
// every file system where it is unique, ReFS's among them; else by the 64-bit index; else, where
// the file system gives neither (some redirectors), by the paths as Windows resolves them.
bool SameFile(const FileIdentity& a, const FileIdentity& b);
// Whether both paths name one file or folder that is there.
bool SameFolder(const std::string& a, const std::string& b);
// Whether the path is the Windows folder or lies in it.
bool InWindowsFolder(const std::string& path);
// A path's length as Windows counts it, in UTF-16 code units.
std::size_t WindowsLength(std::string_view path);
// The process id in a name of prefix, the id, and suffix; nothing for any other name.
std::optional<std::uint32_t> ProcessIdIn(std::string_view name, std::string_view prefix,
                                         std::string_view suffix);
// Removes the folder if it is a real folder and empty, and tells whether it is gone. A junction or
// a symbolic link stays, whatever its target holds.
bool RemoveFolderIfEmpty(const std::string& path);

}  // namespace quenwick
