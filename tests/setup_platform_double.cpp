// The scripted system: each platform call of the setup program over the state in System.
#include "setup_platform_double.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "platform/platform.h"
#include "setup/setup_entry.h"
#include "setup/setup_version.h"

namespace quenwick {

SetupDouble System;

bool NoCase::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

namespace {

// Counts the call, then fails it or cuts the run off there when the test says so.
void Call(const char* call, const std::string& subject) {
  ++System.Calls;
  if (System.Calls == System.CutAt) throw CutOff{};
  if (System.Calls == System.FailAt) {
    throw SystemCallError(std::error_code(5, std::system_category()), call, subject);
  }
}

std::string Parent(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

SetupDouble::Entry* Find(const std::string& path) {
  const auto found = System.Files.find(path);
  return found == System.Files.end() ? nullptr : &found->second;
}

[[noreturn]] void Fail(int error, const char* call, const std::string& subject) {
  throw SystemCallError(std::error_code(error, std::system_category()), call, subject);
}

void NeedFolder(const std::string& folder, const char* call) {
  const SetupDouble::Entry* entry = Find(folder);
  if (!entry || !entry->Folder) Fail(3, call, folder);
}

}  // namespace

std::string SetupDouble::State() const {
  std::string state;
  for (const auto& [path, entry] : Files) {
    state += path + (entry.Folder ? "\\" : " = " + entry.Bytes) +
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
       {"C:", "C:\\Windows", "C:\\Windows\\System32", "C:\\Users", "C:\\Users\\u",
        "C:\\Users\\u\\AppData", "C:\\Users\\u\\AppData\\Local", "C:\\Users\\u\\Downloads",
        "C:\\Users\\u\\AppData\\Local\\Temp", "C:\\Users\\u\\Startup", "C:\\Tools"}) {
    System.Files[folder] = {true, "", false};
  }
  System.Files[System.OwnPath] = {false, "setup", false};
}

std::string FolderPath(KnownFolder folder) {
  Call("FolderPath", "");
  switch (folder) {
    case KnownFolder::LocalAppData:
      return "C:\\Users\\u\\AppData\\Local";
    case KnownFolder::Startup:
      return "C:\\Users\\u\\Startup";
    case KnownFolder::Profile:
      return "C:\\Users\\u";
    case KnownFolder::Windows:
      return "C:\\Windows";
    case KnownFolder::Temp:
      break;
  }
  return "C:\\Users\\u\\AppData\\Local\\Temp";
}

PathKind KindOf(const std::string& path) {
  Call("GetFileAttributesW", path);
  const SetupDouble::Entry* entry = Find(path);
  return !entry ? PathKind::None : entry->Folder ? PathKind::Folder : PathKind::File;
}

std::string IdentityOf(const std::string& path) {
  Call("CreateFileW", path);
  std::string identity = Find(path) ? path : "";
  std::ranges::transform(identity, identity.begin(), [](char c) { return std::tolower(c); });
  return identity;
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
  std::vector<std::string> names;
  for (const auto& [path, entry] : System.Files) {
    const std::string parent = Parent(path);
    if (path.size() > folder.size() && !NoCase{}(parent, folder) && !NoCase{}(folder, parent)) {
      names.push_back(path.substr(folder.size() + 1));
    }
  }
  return names;
}

void MakeFolder(const std::string& path) {
  Call("CreateDirectoryW", path);
  NeedFolder(Parent(path), "CreateDirectoryW");
  if (Find(path)) Fail(183, "CreateDirectoryW", path);
  System.Files[path] = {true, "", false};
}

bool RemoveFolderIfEmpty(const std::string& path) {
  Call("RemoveDirectoryW", path);
  if (!Find(path) || !FolderEntries(path).empty()) return false;
  System.Files.erase(path);
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
  if (const SetupDouble::Entry* entry = Find(path); entry && entry->Folder) {
    Fail(5, "CreateFileW", path);
  }
  System.Files[path] = {false, std::string(bytes), false};
}

void MoveReplacing(const std::string& from, const std::string& to) {
  Call("MoveFileExW", to);
  const SetupDouble::Entry* source = Find(from);
  const SetupDouble::Entry* target = Find(to);
  if (!source || source->Folder) Fail(2, "MoveFileExW", from);
  if (target && target->Folder) Fail(5, "MoveFileExW", to);
  NeedFolder(Parent(to), "MoveFileExW");
  const SetupDouble::Entry moved = *source;
  System.Files.erase(from);
  System.Files[to] = moved;
}

void DeleteFileIfThere(const std::string& path) {
  Call("DeleteFileW", path);
  const SetupDouble::Entry* entry = Find(path);
  if (entry && entry->Folder) Fail(5, "DeleteFileW", path);
  System.Files.erase(path);
}

std::string ProgramVersion(const std::string& path) {
  Call("GetFileVersionInfoW", path);
  const SetupDouble::Entry* entry = Find(path);
  return entry && entry->Bytes.starts_with("quenwick ") ? entry->Bytes.substr(9) : "";
}

std::string ProductName(const std::string& path) {
  Call("VerQueryValueW", path);
  const SetupDouble::Entry* entry = Find(path);
  return entry && entry->Bytes == "setup" ? "Quenwick" : "";
}

bool ProgramRuns(const std::string& path) {
  Call("CreateToolhelp32Snapshot", path);
  return System.Running.contains(path);
}

std::optional<std::string> ReadFileHead(const std::string& path, std::size_t maxBytes) {
  const SetupDouble::Entry* entry = Find(path);
  if (!entry || entry->Folder) return std::nullopt;
  return entry->Bytes.substr(0, maxBytes);
}

std::optional<RegistryValues> ReadRegistryKey(const std::string& key) {
  Call("RegEnumValueW", key);
  const auto found = System.Registry.find(key);
  if (found == System.Registry.end()) return std::nullopt;
  return found->second;
}

void WriteRegistryValue(const std::string& key, const std::string& name,
                        const RegistryValue& value) {
  Call("RegSetValueExW", key + "\\" + name);
  System.Registry[key][name] = value;
}

void DeleteRegistryValue(const std::string& key, const std::string& name) {
  Call("RegDeleteValueW", key + "\\" + name);
  const auto found = System.Registry.find(key);
  if (found != System.Registry.end()) found->second.erase(name);
}

void DeleteRegistryKey(const std::string& key) {
  Call("RegDeleteKeyW", key);
  System.Registry.erase(key);
}

void FlushRegistry() { Call("RegFlushKey", "HKEY_CURRENT_USER"); }

std::string ShortcutTarget(const std::string& shortcut) {
  Call("IPersistFile::Load", shortcut);
  const SetupDouble::Entry* entry = Find(shortcut);
  return entry && entry->Bytes.starts_with("-> ") ? entry->Bytes.substr(3) : "";
}

void MakeShortcut(const std::string& shortcut, const std::string& target) {
  Call("IPersistFile::Save", shortcut);
  WriteNewFile(shortcut, "-> " + target);
}

std::string OwnProgramPath() { return System.OwnPath; }
std::string CommandLineArguments() { return System.Arguments; }
std::uint32_t ProcessId() { return 4242; }
std::string CarriedProgram() { return std::string("quenwick ") + SetupVersion; }
bool UserSpeaksPolish() { return false; }
void Pause(unsigned) {}

bool TakeLock(const std::string& path) {
  Call("CreateFileW", path);
  return !System.LockHeld;
}

void StartProgram(const std::string& path) { Call("CreateProcessW", path); }

void StopPoint(const char* name) {
  if (System.StopAt == name) throw CutOff{};
}

int RunCopyAndWait() {
  Call("CreateProcessW", System.OwnPath);
  System.HandedOverFrom = System.OwnPath;
  return SetupEntry();
}

std::optional<std::string> HandedOverFrom() {
  std::optional<std::string> original = System.HandedOverFrom;
  System.HandedOverFrom.reset();
  return original;
}

void HandBack(int) {}

Answer AskToInstall(const std::string&, const std::string&, const std::string&,
                    const std::string&) {
  return Answer::Install;
}
std::optional<std::string> ChooseFolderDialog(const std::string&) { return std::nullopt; }
bool ShowFinish(const std::string&, const std::string&, const std::string&) { return false; }
Answer ShowSetupMessage(const std::string&, const std::string&, MessageKind) {
  ++System.Messages;
  return Answer::Cancel;
}

}  // namespace quenwick
