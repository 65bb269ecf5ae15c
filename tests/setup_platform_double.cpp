// The scripted system's files, folders and links, with the rules of Windows that the setup program
// relies on, each with where Microsoft's documentation gives it.
#include "setup_platform_double.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "platform/platform.h"
#include "setup/setup_version.h"

namespace quenwick {

SetupDouble System;

bool NoCase::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

void Call(const char* call, const std::string& subject) {
  ++System.Calls;
  if (System.Calls == System.CutAt) throw CutOff{};
  if (System.Calls == System.FailAt || System.Calls == System.FailAlso) Fail(5, call, subject);
}

void Fail(int error, const char* call, const std::string& subject) {
  throw SystemCallError(std::error_code(error, std::system_category()), call, subject);
}

namespace {

constexpr int AccessDenied = 5;  // ERROR_ACCESS_DENIED
constexpr int PathNotFound = 3;  // ERROR_PATH_NOT_FOUND
constexpr int SharingViolation = 32;

bool Same(const std::string& a, const std::string& b) { return !NoCase{}(a, b) && !NoCase{}(b, a); }

std::string Parent(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

// The path with each link on the way replaced by the folder that it leads to, and the last name
// too unless it is to be taken as it is.
std::string Resolve(const std::string& path, bool followLast = true) {
  std::string resolved;
  for (std::size_t at = 0; at < path.size();) {
    const std::size_t end = std::min(path.find('\\', at), path.size());
    const std::string part = path.substr(at, end - at);
    at = end + 1;
    if (part.empty()) continue;
    resolved += (resolved.empty() ? "" : "\\") + part;
    if (at < path.size() || followLast) {
      const auto found = System.Files.find(resolved);
      if (found != System.Files.end() && !found->second.LinkTo.empty()) {
        resolved = found->second.LinkTo;
      }
    }
  }
  return resolved;
}

SetupDouble::Entry* FindAsItIs(const std::string& path) {
  const auto found = System.Files.find(Resolve(path, false));
  return found == System.Files.end() ? nullptr : &found->second;
}

void NeedFolder(const std::string& folder, const char* call) {
  const SetupDouble::Entry* entry = Find(folder);
  if (!entry || !entry->Folder) Fail(PathNotFound, call, folder);
}

bool Empty(const std::string& folder) {
  const std::string resolved = Resolve(folder);
  return std::ranges::none_of(System.Files, [&](const auto& file) {
    return file.first.size() > resolved.size() && Same(Parent(file.first), resolved);
  });
}

// A read-only file refuses to be deleted or replaced (DeleteFile, Remarks: "If the file is a
// read-only file, the function fails with ERROR_ACCESS_DENIED"); the calls that take read-only
// files as any other clear the attribute first, as their Win32 side does.
void ClearReadOnlyOf(const std::string& path) {
  if (SetupDouble::Entry* entry = Find(path)) entry->ReadOnly = false;
}

void NotRunning(const std::string& path, int error, const char* call) {
  // A running program's file is mapped as its image: it cannot be deleted (DeleteFile, Remarks:
  // it fails for a file open "as a memory-mapped file") nor opened for writing, but it can be
  // renamed.
  if (Runs(path)) Fail(error, call, path);
  if (System.Held.contains(Resolve(path))) Fail(SharingViolation, call, path);
}

}  // namespace

SetupDouble::Entry* Find(const std::string& path) {
  const auto found = System.Files.find(Resolve(path));
  return found == System.Files.end() ? nullptr : &found->second;
}

bool Runs(const std::string& path) {
  const std::string resolved = Resolve(path);
  if (Same(resolved, Resolve(System.Image))) return true;
  return std::ranges::any_of(
      System.Running, [&](const std::string& program) { return Same(resolved, Resolve(program)); });
}

std::string SetupDouble::State() const {
  std::string state;
  for (const auto& [path, entry] : Files) {
    state += path + (entry.Folder ? "\\" : " = " + entry.Bytes) +
             (entry.LinkTo.empty() ? "" : " -> " + entry.LinkTo) +
             (entry.ReadOnly ? " (read-only)" : "") + "\n";
  }
  for (const auto& [key, values] : Registry) {
    for (const auto& [name, value] : values) {
      const auto* text = std::get_if<std::string>(&value);
      state += key + "\\" + name + " = " +
               (text ? *text : std::to_string(std::get<std::uint32_t>(value))) + "\n";
    }
  }
  return state;
}

void ResetSystem() {
  System = {};
  for (const char* folder :
       {"C:", "C:\\Windows", "C:\\Windows\\System32", "C:\\Windows\\Temp", "C:\\Users",
        "C:\\Users\\u", "C:\\Users\\u\\AppData", "C:\\Users\\u\\AppData\\Local",
        "C:\\Users\\u\\Downloads", "C:\\Users\\u\\AppData\\Local\\Temp", "C:\\Users\\u\\Startup",
        "C:\\Tools", "D:", "N:"}) {
    System.Files[folder].Folder = true;
  }
  System.Files[System.Image].Bytes = "setup";
  System.Known = {{KnownFolder::LocalAppData, "C:\\Users\\u\\AppData\\Local"},
                  {KnownFolder::Startup, "C:\\Users\\u\\Startup"},
                  {KnownFolder::Profile, "C:\\Users\\u"},
                  {KnownFolder::Windows, "C:\\Windows"},
                  {KnownFolder::Temp, "C:\\Users\\u\\AppData\\Local\\Temp"}};
}

void CutPower() {
  for (auto& [path, entry] : System.Files) {
    if (!entry.Durable) entry.Bytes.assign(entry.Bytes.size(), '\0');
    entry.Durable = true;
  }
}

void BecomeSystem() {
  const std::string profile = "C:\\Windows\\System32\\config\\systemprofile";
  for (const std::string& folder : {std::string("C:\\Windows\\System32\\config"), profile,
                                    profile + "\\AppData", profile + "\\AppData\\Local"}) {
    System.Files[folder].Folder = true;
  }
  System.Known[KnownFolder::Profile] = profile;
  System.Known[KnownFolder::LocalAppData] = profile + "\\AppData\\Local";
  System.Known[KnownFolder::Temp] = "C:\\Windows\\Temp";
  System.Known[KnownFolder::Startup] = profile + "\\Startup";
}

std::string FolderPath(KnownFolder folder) {
  Call("FolderPath", "");
  return System.Known.at(folder);
}

PathKind KindOf(const std::string& path) {
  Call("GetFileAttributesW", path);
  const SetupDouble::Entry* entry = Find(path);
  return !entry ? PathKind::None : entry->Folder ? PathKind::Folder : PathKind::File;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  Call("CreateFileW", path);
  const auto found = System.Files.find(Resolve(path));
  if (found == System.Files.end()) return std::nullopt;
  SetupDouble::Entry& entry = found->second;
  if (entry.Id == 0) entry.Id = System.NextId++;
  FileIdentity identity;
  identity.FinalPath = found->first;
  switch (std::toupper(static_cast<unsigned char>(found->first[0]))) {
    case 'C':  // NTFS: the 128-bit id is the 64-bit index, widened.
      identity = {0xC, {entry.Id, 0}, 0xC, entry.Id, found->first};
      break;
    case 'D':  // ReFS: only the 128-bit id is unique (BY_HANDLE_FILE_INFORMATION, Remarks).
      identity = {0xD, {entry.Id, 0xD}, 0xD, 1, found->first};
      break;
    default:  // A redirector that gives no id at all: FILE_ID_INFO and the index all zeros.
      break;
  }
  return identity;
}

bool IsLink(const std::string& path) {
  Call("FindFirstFileExW", path);
  const SetupDouble::Entry* entry = FindAsItIs(path);
  return entry && !entry->LinkTo.empty();
}

std::string FullPath(const std::string& path) {
  Call("GetFullPathNameW", path);
  std::vector<std::string> parts;
  for (std::size_t at = 0; at <= path.size();) {
    const std::size_t end = std::min(path.find('\\', at), path.size());
    const std::string part = path.substr(at, end - at);
    if (part == "..") {
      if (parts.size() > 1) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string full;
  for (const std::string& part : parts) full += (full.empty() ? "" : "\\") + part;
  return parts.size() == 1 ? full + "\\" : full;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  Call("FindFirstFileExW", folder);
  NeedFolder(folder, "FindFirstFileExW");
  const std::string resolved = Resolve(folder);
  std::vector<std::string> names;
  for (const auto& [path, entry] : System.Files) {
    if (path.size() > resolved.size() && Same(Parent(path), resolved)) {
      names.push_back(path.substr(resolved.size() + 1));
    }
  }
  return names;
}

void MakeFolder(const std::string& path) {
  Call("CreateDirectoryW", path);
  NeedFolder(Parent(path), "CreateDirectoryW");
  if (Find(path)) Fail(183, "CreateDirectoryW", path);
  System.Files[Resolve(path)].Folder = true;
}

bool RemoveEmptyFolder(const std::string& path) {
  Call("RemoveDirectoryW", path);
  const std::string asItIs = Resolve(path, false);
  const auto found = System.Files.find(asItIs);
  if (found == System.Files.end() || !found->second.Folder) return false;
  // RemoveDirectoryW removes a junction whatever its target holds (RemoveDirectory, Remarks).
  if (found->second.LinkTo.empty() && !Empty(asItIs)) return false;
  System.Files.erase(found);
  return true;
}

std::string ReadWholeFile(const std::string& path) {
  Call("ReadFile", path);
  const SetupDouble::Entry* entry = Find(path);
  if (!entry || entry->Folder) Fail(2, "CreateFileW", path);
  return entry->Bytes;
}

void WriteNewFile(const std::string& path, std::string_view bytes) {
  Call("WriteFile", path);
  NeedFolder(Parent(path), "CreateFileW");
  SetupDouble::Entry* entry = Find(path);
  if (entry && entry->Folder) Fail(AccessDenied, "CreateFileW", path);
  NotRunning(path, SharingViolation, "CreateFileW");
  SetupDouble::Entry& written = System.Files[Resolve(path)];
  written.Bytes = bytes;
  written.ReadOnly = false;
  written.Durable = false;
}

void FlushFile(const std::string& path) {
  Call("FlushFileBuffers", path);
  SetupDouble::Entry* entry = Find(path);
  if (!entry || entry->Folder) Fail(2, "CreateFileW", path);
  entry->Durable = true;
}

void MoveReplacing(const std::string& from, const std::string& to) {
  Call("MoveFileExW", to);
  const SetupDouble::Entry* source = Find(from);
  const SetupDouble::Entry* target = Find(to);
  if (!source || source->Folder) Fail(2, "MoveFileExW", from);
  if (target && target->Folder) Fail(AccessDenied, "MoveFileExW", to);
  NeedFolder(Parent(to), "MoveFileExW");
  if (target) NotRunning(to, AccessDenied, "MoveFileExW");
  if (System.Held.contains(Resolve(from))) Fail(SharingViolation, "MoveFileExW", from);
  const SetupDouble::Entry moved = *source;
  System.Files.erase(Resolve(from));
  System.Files[Resolve(to)] = moved;
  if (System.Running.erase(from) > 0) System.Running.insert(to);  // a renamed program runs on
}

void DeleteFileIfThere(const std::string& path) {
  Call("DeleteFileW", path);
  const SetupDouble::Entry* entry = Find(path);
  if (!entry) return;
  if (entry->Folder) Fail(AccessDenied, "DeleteFileW", path);
  NotRunning(path, AccessDenied, "DeleteFileW");
  ClearReadOnlyOf(path);
  System.Files.erase(Resolve(path));
}

bool DeleteFileNow(const std::string& path) {
  Call("DeleteFileW", path);
  const SetupDouble::Entry* entry = Find(path);
  if (!entry) return true;
  if (entry->Folder || Runs(path) || System.Held.contains(Resolve(path))) return false;
  System.Files.erase(Resolve(path));
  return true;
}

void CopyFileOver(const std::string& from, const std::string& to) {
  Call("CopyFileW", to);
  const SetupDouble::Entry* source = Find(from);
  if (!source || source->Folder) Fail(2, "CopyFileW", from);
  NeedFolder(Parent(to), "CopyFileW");
  if (const SetupDouble::Entry* target = Find(to); target && (target->Folder || target->ReadOnly)) {
    Fail(AccessDenied, "CopyFileW", to);
  }
  // CopyFileW gives the copy its source's attributes (CopyFile, Remarks: "File attributes for the
  // existing file are copied to the new file").
  SetupDouble::Entry copy;
  copy.Bytes = source->Bytes;
  copy.ReadOnly = source->ReadOnly;
  System.Files[Resolve(to)] = copy;
}

void ClearReadOnly(const std::string& path) {
  Call("SetFileAttributesW", path);
  ClearReadOnlyOf(path);
}

std::string ProgramVersion(const std::string& path) {
  Call("GetFileVersionInfoW", path);
  const SetupDouble::Entry* entry = Find(path);
  return entry && entry->Bytes.starts_with("quenwick ") ? entry->Bytes.substr(9) : "";
}

std::string ProductName(const std::string& path) {
  Call("VerQueryValueW", path);
  const SetupDouble::Entry* entry = Find(path);
  const bool ours = entry && (entry->Bytes.starts_with("quenwick ") || entry->Bytes == "setup");
  return ours ? "Quenwick" : "";
}

std::optional<std::string> ReadFileHead(const std::string& path, std::size_t maxBytes) {
  const SetupDouble::Entry* entry = Find(path);
  if (!entry || entry->Folder) return std::nullopt;
  return entry->Bytes.substr(0, maxBytes);
}

}  // namespace quenwick
