// The scripted system's registry, shortcut, processes, lock, hand-over and dialogs.
#include <algorithm>
#include <sstream>
#include <utility>

#include "setup/setup_entry.h"
#include "setup/setup_version.h"
#include "setup_platform_double.h"

namespace quenwick {
namespace {

constexpr int DisabledByPolicy = 1260;  // ERROR_ACCESS_DISABLED_BY_POLICY

std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

}  // namespace

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

std::vector<std::string> RunningPrograms(const std::string& fileName) {
  Call("CreateToolhelp32Snapshot", fileName);
  std::vector<std::string> programs;
  for (const std::string& program : System.Running) {
    if (!NoCase{}(program.substr(program.find_last_of('\\') + 1), fileName) &&
        !NoCase{}(fileName, program.substr(program.find_last_of('\\') + 1))) {
      programs.push_back(program);
    }
  }
  return programs;
}

bool ProcessIsRunning(std::uint32_t processId) {
  Call("OpenProcess", std::to_string(processId));
  return processId == System.ProcessId || System.LiveProcesses.contains(processId);
}

std::string OwnProgramPath() { return System.Image; }
std::string CommandLineArguments() { return System.Arguments; }
std::uint32_t ProcessId() { return System.ProcessId; }
std::vector<std::string> CarriedResources() {
  std::vector<std::string> names;
  std::istringstream carried(QUENWICK_CARRIED_RESOURCES);
  for (std::string name; std::getline(carried, name, ',');) names.push_back(name);
  return names;
}

// What the setup program carries as its build gives it: a resource that it does not carry cannot
// be loaded (ERROR_RESOURCE_NAME_NOT_FOUND).
std::string CarriedResource(const std::string& name) {
  Call("LoadResource", name);
  const std::vector<std::string> carried = CarriedResources();
  if (std::ranges::find(carried, name) == carried.end()) Fail(1814, "LoadResource", name);
  return name == "QUENWICK_EXE" ? std::string("quenwick ") + SetupVersion : "carried " + name;
}

bool UserSpeaksPolish() { return false; }
void Pause(unsigned) {}
std::string LocalTime() { return "2026-12-09 20:30:05.123"; }

bool AppendToFile(const std::string& path, std::string_view text, bool fresh) {
  if (std::ranges::any_of(System.Unwritable,
                          [&](const std::string& folder) { return path.starts_with(folder); })) {
    return false;
  }
  std::string& log = System.Logs[path];
  if (fresh) log.clear();
  log += text;
  return true;
}

bool TakeLock(const std::string& path) {
  Call("CreateFileW", path);
  if (System.LockHeld) return false;
  System.LockOurs = true;
  return true;
}

void ReleaseLock() { System.LockOurs = false; }

void StartProgram(const std::string& path) { Call("CreateProcessW", path); }

void StopPoint(const char* name) {
  if (System.StopAt == name) throw CutOff{};
}

void OpenToDeleteOnClose(const std::string& path) {
  Call("CreateFileW", path);
  const SetupDouble::Entry* entry = Find(path);
  if (!entry) Fail(2, "CreateFileW", path);
  // Opening a read-only file to delete it on close fails, as deleting it does (DeleteFile,
  // Remarks; CreateFileW, FILE_FLAG_DELETE_ON_CLOSE).
  if (entry->ReadOnly) Fail(5, "CreateFileW", path);
  if (System.Held.contains(path)) Fail(32, "CreateFileW", path);
  System.DeleteOnClose = path;
}

int StartCopyAndWait(const std::string& copy) {
  Call("CreateProcessW", copy);
  if (std::ranges::any_of(System.Refused, [&](const std::string& folder) {
        return !NoCase{}(Folder(copy), folder) && !NoCase{}(folder, Folder(copy));
      })) {
    // The uninstaller's own handle closes, and with it the copy goes.
    System.Files.erase(copy);
    System.DeleteOnClose.reset();
    Fail(DisabledByPolicy, "CreateProcessW", copy);
  }
  // The copy runs as a process of its own, with an id of its own, while the uninstaller waits for
  // its code.
  const std::string original = System.Image;
  const std::uint32_t originalId = System.ProcessId;
  System.Running.insert(original);
  System.LiveProcesses.insert(originalId);
  System.Image = copy;
  System.ProcessId = originalId + 1;
  System.HandedOverFrom = original;
  System.PassedOn = false;
  const auto ended = [&] {
    // The copy's lock and handles close as it ends. The last handle to its file, closed by the
    // process that runs it, deletes nothing while the file is still its mapped image (DeleteFile,
    // Remarks: a memory-mapped file cannot be deleted): only a process that outlives it can.
    System.LockOurs = false;
    if (System.PassedOn) System.Files.erase(copy);
    System.Image = original;
    System.ProcessId = originalId;
    System.HandedOverFrom.reset();
    System.DeleteOnClose.reset();
    System.Running.erase(original);
    System.LiveProcesses.erase(originalId);
  };
  try {
    const int exitCode = SetupEntry();
    ended();
    return exitCode;
  } catch (const CutOff&) {
    ended();
    throw;
  }
}

std::optional<std::string> HandedOverFrom() { return System.HandedOverFrom; }

void HandBack(int) {
  System.HandedBack = {System.State(), System.LockOurs, System.Messages};
  // The uninstaller ends as soon as it has the code; the copy's id follows its own.
  System.Running.erase(*System.HandedOverFrom);
  System.LiveProcesses.erase(System.ProcessId - 1);
  if (System.Meanwhile) std::exchange(System.Meanwhile, nullptr)();
}

void PassOnOwnDeletion() {
  Call("CreateProcessW", "PING.EXE");
  System.PassedOn = true;
}

Answer AskToInstall(const std::string&, const std::string&, const std::string&,
                    const std::string&) {
  return Answer::Install;
}
std::optional<std::string> ChooseFolderDialog(const std::string&) { return std::nullopt; }
bool ShowFinish(const std::string&, const std::string&, const std::string&) { return false; }
// The user confirms an uninstall, and cancels a wait for a running program.
Answer ShowSetupMessage(const std::string& title, const std::string& text, MessageKind kind) {
  ++System.Messages;
  System.Shown.push_back(title + ": " + text);
  return kind == MessageKind::Confirm   ? Answer::Yes
         : kind == MessageKind::Running ? Answer::Cancel
                                        : Answer::Ok;
}

}  // namespace quenwick
