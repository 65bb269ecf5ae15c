// The scripted Windows that the setup program is tested against, linked in place of its Win32
// side: files, folders, links, the registry, the shortcut and processes in memory, with the rules
// of Windows that the setup program relies on, and a count of the platform calls that can fail any
// one of them, or cut the run off there as a crash would. Drive C: is NTFS; D: is ReFS, whose
// 64-bit file indexes are not unique; N: is a redirector that gives no file ids at all.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "setup/setup_platform.h"

namespace quenwick {

// Thrown where the run is cut off; no step catches it, as none outlives a crash.
struct CutOff {};

// Paths compare as Windows compares them, without regard to case.
struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const;
};

struct SetupDouble {
  struct Entry {
    bool Folder = false;
    std::string Bytes;  // a program is "quenwick <version>" or "setup"; a shortcut "-> <target>"
    bool ReadOnly = false;
    std::string LinkTo;    // a junction: the folder that it leads to
    std::uint64_t Id = 0;  // the file's id, kept when it is renamed; 0 until first asked for
    bool Durable = true;   // what it holds has reached the disk
  };
  std::map<std::string, Entry, NoCase> Files;
  std::map<std::string, RegistryValues, NoCase> Registry;
  std::map<KnownFolder, std::string> Known;
  std::string Arguments;
  // This process's program and id, and what other processes of the user run.
  std::string Image = "C:\\Users\\u\\Downloads\\Quenwick-setup.exe";
  std::uint32_t ProcessId = 4242;
  std::set<std::string, NoCase> Running;
  std::set<std::uint32_t> LiveProcesses;
  // Folders from which a policy (AppLocker, App Control, Defender's rules) starts no program.
  std::vector<std::string> Refused;
  // Files that another program (a scanner, a backup tool) holds open, without sharing their
  // deletion, for longer than the setup program waits.
  std::set<std::string, NoCase> Held;
  bool LockHeld = false;  // by another process
  bool LockOurs = false;
  // The uninstaller's hand-over: the program that started this copy, the file that it opened to
  // be deleted on close, whether the copy passed that handle on, and the system as it stood when
  // the copy gave its code back.
  std::optional<std::string> HandedOverFrom;
  std::optional<std::string> DeleteOnClose;
  bool PassedOn = false;
  struct Moment {
    std::string State;
    bool LockHeld = false;
    int Messages = 0;
  };
  std::optional<Moment> HandedBack;
  // What another process does the moment that the code is given, as a tool that starts an
  // install as soon as the uninstall returns.
  std::function<void()> Meanwhile;
  std::uint64_t NextId = 1;

  // The platform call, counted from 1, that fails with access denied, or where the run is cut off.
  int FailAt = 0;
  int FailAlso = 0;  // a second call that fails, such as one of the undo
  int CutAt = 0;
  int Calls = 0;
  int Messages = 0;                // the messages shown
  std::vector<std::string> Shown;  // each message's title and text
  // The logs written, by path, and the folders where none can be.
  std::map<std::string, std::string, NoCase> Logs;
  std::vector<std::string> Unwritable;
  std::optional<std::string> StopAt;  // the stop point where the run is cut off

  // Everything that a run may change, a line for each file, folder and registry value.
  std::string State() const;
};

extern SetupDouble System;

// A fresh system: a user's profile with its folders, Windows, and the setup program in Downloads.
void ResetSystem();
// The power is lost: every file whose bytes were written but not flushed reads as zeros, as NTFS
// journals what names a file but not what it holds (FlushFileBuffers, Remarks); what the registry
// and the file system's names hold stays.
void CutPower();
// The account becomes SYSTEM, whose profile is in the Windows folder, as LocalService's and
// NetworkService's are (LocalSystem Account: "%windir%\System32\config\systemprofile").
void BecomeSystem();
// The resources that the setup program carries, by name, as its build gives them.
std::vector<std::string> CarriedResources();
// Counts the call, then fails it or cuts the run off there when the test says so.
void Call(const char* call, const std::string& subject);
[[noreturn]] void Fail(int error, const char* call, const std::string& subject);
// The entry at path, following links on the way, or null.
SetupDouble::Entry* Find(const std::string& path);
// Whether a process runs the program at path.
bool Runs(const std::string& path);

}  // namespace quenwick
