// What the setup program needs from the system beyond what the check run does: files and folders
// told apart by identity, the current user's registry, the Startup shortcut, processes, the lock,
// the dialogs. Paths and texts are UTF-8. Every call that fails throws SystemCallError (platform.h)
// naming the call. Implemented for Win32 beside this file; the tests link a double instead.
#pragma once

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
// What identifies the file or folder at path on this computer, whatever its spelling; "" when
// nothing is there.
std::string IdentityOf(const std::string& path);
// The path in full, as Windows resolves it: no "." or ".." steps and no doubled separators.
std::string FullPath(const std::string& path);
// The names in a folder, without "." and "..".
std::vector<std::string> FolderEntries(const std::string& folder);
void MakeFolder(const std::string& path);
// Removes the folder if it is empty, and tells whether it is gone.
bool RemoveFolderIfEmpty(const std::string& path);
std::string ReadWholeFile(const std::string& path);
// Writes a new file, or replaces one, and flushes it to the disk.
void WriteNewFile(const std::string& path, std::string_view bytes);
// Renames from to to, replacing to; deletes a file that may not be there. Both take read-only
// files as any other, and wait out another program's brief hold on either file for ten seconds.
void MoveReplacing(const std::string& from, const std::string& to);
void DeleteFileIfThere(const std::string& path);
// A program's file version, "major.minor.patch", and the product that its version information
// names; "" for none.
std::string ProgramVersion(const std::string& path);
std::string ProductName(const std::string& path);
// Whether a process of this user is running the program at path.
bool ProgramRuns(const std::string& path);

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
// The bytes of quenwick.exe that the setup program carries.
std::string CarriedProgram();
bool UserSpeaksPolish();
void Pause(unsigned milliseconds);
// Held from here until the process ends: false when another process holds it. Throws when the
// file cannot be opened for any other reason.
bool TakeLock(const std::string& path);
// Starts a program without waiting for it.
void StartProgram(const std::string& path);
// A setup program built for the tests ends dead at the point that QUENWICK_SETUP_STOP names, as a
// crash or a lost power would; any other build goes on.
void StopPoint(const char* name);

// The uninstaller cannot delete its own file while it runs, so it runs a copy of itself from the
// temporary folder with the same arguments, waits, and gives back the copy's exit code. The copy,
// told by HandedOverFrom which program started it, gives its code back with HandBack, and once
// that program has ended, removes its file; the copy itself goes when it ends.
int RunCopyAndWait();
std::optional<std::string> HandedOverFrom();
void HandBack(int exitCode);

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
