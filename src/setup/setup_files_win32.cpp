// Files and folders on Windows: known folders, identities, and renames and deletions that take
// read-only files as any other and wait out another program's brief hold.
#include <windows.h>
// These headers need windows.h before them.
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <memory>

#include "platform/error_win32.h"
#include "platform/platform.h"
#include "platform/system_dll_win32.h"
#include "platform/text_win32.h"
#include "platform/unique_handle_win32.h"
#include "setup/hold_wait_win32.h"
#include "setup/setup_platform.h"

namespace quenwick {
namespace {

// Errors that say that there is nothing at the path, or no drive or share for it.
bool IsNothingThere(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_INVALID_DRIVE ||
         error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME || error == ERROR_NOT_READY;
}

std::string KnownFolderPath(const KNOWNFOLDERID& id, const char* name) {
  wchar_t* path = nullptr;
  const HRESULT result =
      QUENWICK_SHELL32(SHGetKnownFolderPath)(id, KF_FLAG_DONT_VERIFY, nullptr, &path);
  const std::unique_ptr<wchar_t, decltype(&CoTaskMemFree)> owned(path,
                                                                 QUENWICK_OLE32(CoTaskMemFree));
  if (FAILED(result)) ThrowWin32Error(static_cast<DWORD>(result), "SHGetKnownFolderPath", name);
  return Narrow(path);
}

UniqueHandle OpenFile(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
  const std::wstring wide = Widen(path);
  HANDLE file = INVALID_HANDLE_VALUE;
  WaitOutHold(
      [&] {
        file = CreateFileW(wide.c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           disposition, flags, nullptr);
        return file != INVALID_HANDLE_VALUE;
      },
      "CreateFileW", path);
  return UniqueHandle(file);
}

}  // namespace

std::string FolderPath(KnownFolder folder) {
  switch (folder) {
    case KnownFolder::LocalAppData:
      return KnownFolderPath(FOLDERID_LocalAppData, "LocalAppData");
    case KnownFolder::Startup:
      return KnownFolderPath(FOLDERID_Startup, "Startup");
    case KnownFolder::Profile:
      return KnownFolderPath(FOLDERID_Profile, "Profile");
    case KnownFolder::Windows:
      return KnownFolderPath(FOLDERID_Windows, "Windows");
    case KnownFolder::Temp:
      break;
  }
  std::wstring temp = FilledBuffer<wchar_t>(MAX_PATH + 1, [](wchar_t* text, std::size_t size) {
    return GetTempPathW(static_cast<DWORD>(size), text);
  });
  if (temp.empty()) ThrowLastError("GetTempPathW", "temporary folder");
  if (temp.size() > 3 && temp.ends_with(L'\\')) temp.pop_back();
  return Narrow(temp);
}

PathKind KindOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Folder : PathKind::File;
  }
  if (!IsNothingThere(GetLastError())) ThrowLastError("GetFileAttributesW", path);
  return PathKind::None;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  // FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFileW open a folder.
  const HANDLE opened = CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    if (IsNothingThere(GetLastError())) return std::nullopt;
    ThrowLastError("CreateFileW", path);
  }
  const UniqueHandle file(opened);
  FileIdentity identity;
  // Not every file system gives a 128-bit id (FAT gives none); what it gives may be all zeros.
  FILE_ID_INFO id{};
  if (GetFileInformationByHandleEx(file.get(), FileIdInfo, &id, sizeof id)) {
    static_assert(sizeof identity.Id == sizeof id.FileId);
    std::memcpy(identity.Id.data(), &id.FileId, sizeof identity.Id);
    identity.Volume = id.VolumeSerialNumber;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file.get(), &information)) {
    ThrowLastError("GetFileInformationByHandle", path);
  }
  identity.IndexVolume = information.dwVolumeSerialNumber;
  identity.Index =
      static_cast<std::uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
  // The device's own name for the volume (as \Device\HarddiskVolume3 or \Device\Mup\server),
  // which every drive letter, share name, junction and short name of it resolves to.
  identity.FinalPath = Narrow(FilledBuffer<wchar_t>(MAX_PATH, [&](wchar_t* text, std::size_t size) {
    return GetFinalPathNameByHandleW(file.get(), text, static_cast<DWORD>(size),
                                     FILE_NAME_NORMALIZED | VOLUME_NAME_NT);
  }));
  if (identity.FinalPath.empty()) identity.FinalPath = FullPath(path);
  return identity;
}

bool IsLink(const std::string& path) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW(Widen(path).c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    if (IsNothingThere(GetLastError())) return false;
    ThrowLastError("FindFirstFileExW", path);
  }
  FindClose(search);
  // The reparse tag of a junction, a mount point or a symbolic link marks a name surrogate; a
  // cloud file's placeholder is a folder of its own.
  return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         IsReparseTagNameSurrogate(found.dwReserved0);
}

std::string FullPath(const std::string& path) {
  const std::wstring wide = Widen(path);
  const std::wstring full = FilledBuffer<wchar_t>(MAX_PATH, [&](wchar_t* text, std::size_t size) {
    return GetFullPathNameW(wide.c_str(), static_cast<DWORD>(size), text, nullptr);
  });
  if (full.empty()) ThrowLastError("GetFullPathNameW", path);
  return Narrow(full);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW(Widen(folder + "\\*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) ThrowLastError("FindFirstFileExW", folder);
  std::vector<std::string> names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(Narrow(name));
  } while (FindNextFileW(search, &found));
  const DWORD error = GetLastError();
  FindClose(search);
  if (error != ERROR_NO_MORE_FILES) ThrowWin32Error(error, "FindNextFileW", folder);
  return names;
}

void MakeFolder(const std::string& path) {
  if (!CreateDirectoryW(Widen(path).c_str(), nullptr)) ThrowLastError("CreateDirectoryW", path);
}

bool RemoveEmptyFolder(const std::string& path) {
  if (RemoveDirectoryW(Widen(path).c_str())) return true;
  // A folder that is not empty, or that a process holds as its current folder, stays; that it
  // stays loses nothing.
  const DWORD error = GetLastError();
  if (error == ERROR_DIR_NOT_EMPTY || error == ERROR_SHARING_VIOLATION ||
      error == ERROR_ACCESS_DENIED || IsNothingThere(error)) {
    return false;
  }
  ThrowWin32Error(error, "RemoveDirectoryW", path);
}

std::string ReadWholeFile(const std::string& path) {
  const UniqueHandle file = OpenFile(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
  std::string bytes;
  char block[65536];
  DWORD count = 0;
  do {
    if (!ReadFile(file.get(), block, sizeof block, &count, nullptr))
      ThrowLastError("ReadFile", path);
    bytes.append(block, count);
  } while (count > 0);
  return bytes;
}

void WriteNewFile(const std::string& path, std::string_view bytes) {
  ClearReadOnly(path);
  const UniqueHandle file = OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    ThrowLastError("WriteFile", path);
  }
  if (written != bytes.size()) ThrowWin32Error(ERROR_WRITE_FAULT, "WriteFile", path);
}

void FlushFile(const std::string& path) {
  // Any handle that may write flushes what the file holds, whoever wrote it.
  const UniqueHandle file = OpenFile(path, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (!FlushFileBuffers(file.get())) ThrowLastError("FlushFileBuffers", path);
}

bool AppendToFile(const std::string& path, std::string_view text, bool fresh) {
  std::wstring wide;
  try {
    wide = Widen(path);
  } catch (const std::exception&) {
    return false;  // a path that is not valid text
  }
  const HANDLE opened = CreateFileW(
      wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, fresh ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return false;
  const UniqueHandle file(opened);
  DWORD written = 0;
  return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

void MoveReplacing(const std::string& from, const std::string& to) {
  const std::wstring source = Widen(from);
  const std::wstring target = Widen(to);
  ClearReadOnly(to);
  WaitOutHold(
      [&] { return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0; },
      "MoveFileExW", to);
}

void DeleteFileIfThere(const std::string& path) {
  // A folder of the name is never a brief hold.
  if (KindOf(path) == PathKind::Folder) ThrowWin32Error(ERROR_ACCESS_DENIED, "DeleteFileW", path);
  const std::wstring wide = Widen(path);
  ClearReadOnly(path);
  WaitOutHold([&] { return DeleteFileW(wide.c_str()) || IsNothingThere(GetLastError()); },
              "DeleteFileW", path);
}

bool DeleteFileNow(const std::string& path) {
  if (KindOf(path) != PathKind::File) return KindOf(path) == PathKind::None;
  ClearReadOnly(path);
  return DeleteFileW(Widen(path).c_str()) || IsNothingThere(GetLastError());
}

void CopyFileOver(const std::string& from, const std::string& to) {
  if (!CopyFileW(Widen(from).c_str(), Widen(to).c_str(), FALSE)) ThrowLastError("CopyFileW", to);
}

void ClearReadOnly(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
  if (!SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    ThrowLastError("SetFileAttributesW", path);
  }
}

}  // namespace quenwick
