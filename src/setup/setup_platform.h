// What the setup program needs from the system beyond what the check run does: files and folders
// told apart by identity, the current user's registry, the Startup shortcut, processes, the lock,
// the dialogs. Paths and texts are UTF-8. Every call that fails throws SystemCallError (platform.h)
// naming the call. Implemented for Win32 beside this file; the tests link a double instead.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quenwick {

enum class KnownFolder { LocalAppData, Startup, Profile, Windows, Temp };
std::string FolderPath(KnownFolder folder);

enum class PathKind { None, File, Folder };
PathKind KindOf(const std::string& path);
// What the file system says identifies the file or folder at path, whatever its spelling: the
// 128-bit id and the 64-bit index, each with its volume's serial, as the file system gives them
// (all zeros, or all ones, where it gives none), and the path in full as Windows resolves it.
struct FileIdentity {
  std::uint64_t Volume = 0;
  std::array<std::uint64_t, 2> Id{};
  std::uint32_t IndexVolume = 0;
  std::uint64_t Index = 0;
  std::string FinalPath;
};
// Nothing when nothing is there.
std::optional<FileIdentity> IdentityOf(const std::string& path);
// Whether path is a junction, a symbolic link or a mount point: a name that leads elsewhere.
bool IsLink(const std::string& path);
// The path in full, as Windows resolves it: no "." or ".." steps and no doubled separators.
std::string FullPath(const std::string& path);
// The names in a folder, without "." and "..".
std::vector<std::string> FolderEntries(const std::string& folder);
void MakeFolder(const std::string& path);
// Removes the folder at path as RemoveDirectoryW does, and tells whether it is gone: an empty
// folder, or a link whatever its target holds; false for a folder that is not empty or is in use.
bool RemoveEmptyFolder(const std::string& path);
std::string ReadWholeFile(const std::string& path);
// Writes a new file, or replaces one; and writes what the file holds through to the disk.
void WriteNewFile(const std::string& path, std::string_view bytes);
void FlushFile(const std::string& path);
// Renames from to to, replacing to; deletes a file that may not be there. Both take read-only
// files as any other, and wait out another program's brief hold on either file for ten seconds.
void MoveReplacing(const std::string& from, const std::string& to);
void DeleteFileIfThere(const std::string& path);
// Deletes the file, read-only or not, at one try, and tells whether it is gone: for what may be
// left for a later run, so that no wait keeps anyone.
bool DeleteFileNow(const std::string& path);
// Copies from to to, replacing it, as CopyFileW does: with from's attributes, read-only among them.
void CopyFileOver(const std::string& from, const std::string& to);
void ClearReadOnly(const std::string& path);
// Appends text to the file at path, which it makes, or first empties when fresh; and tells whether
// it could. Never throws, and never waits for another program's hold.
bool AppendToFile(const std::string& path, std::string_view text, bool fresh);
// A program's file version, "major.minor.patch", and the product that its version information
// names; "" for none.
std::string ProgramVersion(const std::string& path);
std::string ProductName(const std::string& path);
// The programs that this user's processes of that file name run, by their paths.
std::vector<std::string> RunningPrograms(const std::string& fileName);
// Whether the process of that id is still running.
bool ProcessIsRunning(std::uint32_t processId);

// Values of keys under HKEY_CURRENT_USER: strings and numbers (REG_SZ and REG_DWORD).
using RegistryValue = std::variant<std::string, std::uint32_t>;
using RegistryValues = std::map<std::string, RegistryValue>;
std::optional<RegistryValues> ReadRegistryKey(const std::string& key);
void WriteRegistryValue(const std::string& key, const std::string& name,
                        const RegistryValue& value);
void DeleteRegistryValue(const std::string& key, const std::string& name);
void DeleteRegistryKey(const std::string& key);
// Writes the user's registry through to the disk.
void FlushRegistry();

// What the shortcut starts, "" when it cannot be read; and a shortcut that starts target, which
// need not be there yet.
std::string ShortcutTarget(const std::string& shortcut);
void MakeShortcut(const std::string& shortcut, const std::string& target);

// This process: its own program, its command line after the program's name, its id.
std::string OwnProgramPath();
std::string CommandLineArguments();
std::uint32_t ProcessId();
// The bytes of the file that the setup program carries as its resource of that name.
std::string CarriedResource(const std::string& name);
bool UserSpeaksPolish();
void Pause(unsigned milliseconds);
// The local time, as "2026-12-09 20:30:05.123".
std::string LocalTime();
// Held from here until ReleaseLock or the process ends: false when another process holds it.
// Throws when the file cannot be opened for any other reason.
bool TakeLock(const std::string& path);
void ReleaseLock();
// Starts a program without waiting for it.
void StartProgram(const std::string& path);
// A setup program built for the tests ends dead at the point that QUENWICK_SETUP_STOP names, as a
// crash or a lost power would; any other build goes on.
void StopPoint(const char* name);

// The uninstaller's hand-over to a copy of itself. The uninstaller opens the copy to be deleted
// when its last handle closes, retried while another program holds it for a moment, and starts it
// with that handle, the same arguments and a way to give its exit code back, then waits for that
// code (or, if the copy ends without giving one, for its exit code). StartCopyAndWait throws when
// the copy cannot be started, having closed the handle, which deletes the copy.
void OpenToDeleteOnClose(const std::string& path);
int StartCopyAndWait(const std::string& copy);
// In the copy: the path of the uninstaller that started it, or nothing in any other run; HandBack
// gives the code to the uninstaller and waits for it to end.
std::optional<std::string> HandedOverFrom();
void HandBack(int exitCode);
// Starts a short-lived program of the system's own folder, with no window, which inherits the
// copy's handle to its own file and outlives the copy: Windows deletes a file whose last handle
// closes only once no process runs it.
void PassOnOwnDeletion();

// The dialogs of an interactive run.
enum class Answer { Install, OtherFolder, Retry, Yes, Ok, Cancel };
enum class MessageKind { Refusal, Running, Confirm, Done };
Answer AskToInstall(const std::string& title, const std::string& folderText,
                    const std::string& installText, const std::string& otherFolderText);
std::optional<std::string> ChooseFolderDialog(const std::string& title);
// Says what comes next; with an offer, gives whether it was taken.
bool ShowFinish(const std::string& title, const std::string& text, const std::string& offer);
Answer ShowSetupMessage(const std::string& title, const std::string& text, MessageKind kind);

}  // namespace quenwick
