// The scripted Windows that the setup program is tested against, linked in place of its Win32
// side: files, folders, the registry and the shortcut in memory, and a count of the platform calls
// that can fail any one of them, or cut the run off there as a crash would.
#pragma once

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
    friend bool operator==(const Entry&, const Entry&) = default;
  };
  std::map<std::string, Entry, NoCase> Files;
  std::map<std::string, RegistryValues, NoCase> Registry;
  std::set<std::string, NoCase> Running;  // the programs that run
  std::string Arguments;
  bool LockHeld = false;
  std::optional<std::string> HandedOverFrom;
  std::string OwnPath = "C:\\Users\\u\\Downloads\\Quenwick-setup.exe";

  // The platform call, counted from 1, that fails with access denied, or where the run is cut off.
  int FailAt = 0;
  int CutAt = 0;
  int Calls = 0;
  int Messages = 0;                   // the messages shown
  std::optional<std::string> StopAt;  // the stop point where the run is cut off

  // Everything that a run may change, a line for each file, folder and registry value.
  std::string State() const;
};

extern SetupDouble System;

// A fresh system: a user's profile with its folders, Windows, and the setup program in Downloads.
void ResetSystem();

}  // namespace quenwick
