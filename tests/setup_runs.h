// Runs of the setup program and its uninstaller against the double, as fresh processes, and the
// installs that the tests start from.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "setup/folders.h"
#include "setup/setup_entry.h"
#include "setup/setup_names.h"
#include "setup/setup_version.h"
#include "setup_platform_double.h"

namespace quenwick {

inline const std::string Key(UninstallKey);
inline const std::string SetupProgram = "C:\\Users\\u\\Downloads\\Quenwick-setup.exe";
inline const std::string Default = "C:\\Users\\u\\AppData\\Local\\Programs\\Quenwick";
inline const std::string Programs = "C:\\Users\\u\\AppData\\Local\\Programs";
inline const std::string Moved = "C:\\Tools\\Quenwick";
inline const std::string Temp = "C:\\Users\\u\\AppData\\Local\\Temp";
inline const std::string Shortcut = "C:\\Users\\u\\Startup\\Quenwick.lnk";
inline const std::string Record = "-1\r\n-1\r\n734\r\n-1\r\n";

// Runs program (the setup program unless given) with arguments as a fresh process; a run cut off
// gives 99.
inline int RunProgram(const std::string& program, const std::string& arguments) {
  // Each process has an id of its own; the copy of an uninstaller takes the one after it.
  System.ProcessId += 2;
  System.Image = program;
  System.Arguments = arguments;
  System.Calls = 0;
  System.HandedBack.reset();
  int exitCode = 99;
  try {
    exitCode = SetupEntry();
  } catch (const CutOff&) {
  }
  // The process has ended, and its lock with it.
  System.LockOurs = false;
  System.Image = SetupProgram;
  return exitCode;
}

inline int RunSetup(const std::string& arguments) { return RunProgram(SetupProgram, arguments); }

// Runs the setup program as another process does while this one runs: it sees this one's lock
// held and its program running, and this one goes on as it was once it has ended.
inline int RunMeanwhile(const std::string& arguments) {
  const SetupDouble outer = System;
  System.LockHeld = outer.LockHeld || outer.LockOurs;
  System.LockOurs = false;
  System.HandedOverFrom.reset();
  System.Running.insert(outer.Image);
  const int exitCode = RunProgram(SetupProgram, arguments);
  System.Image = outer.Image;
  System.ProcessId = outer.ProcessId;
  System.Arguments = outer.Arguments;
  System.HandedOverFrom = outer.HandedOverFrom;
  System.DeleteOnClose = outer.DeleteOnClose;
  System.PassedOn = outer.PassedOn;
  System.LockHeld = outer.LockHeld;
  System.LockOurs = outer.LockOurs;
  System.Running = outer.Running;
  System.Calls = outer.Calls;
  System.HandedBack = outer.HandedBack;
  return exitCode;
}

// A whole install of version in folder, made as this setup program makes one, with record.
inline void Installed(const std::string& folder, const std::string& version,
                      const std::string& record) {
  ASSERT_EQ(RunSetup("/S /D=" + folder), 0);
  System.Files[folder + "\\quenwick.exe"].Bytes = "quenwick " + version;
  System.Registry[Key]["DisplayVersion"] = version;
  if (!record.empty()) System.Files[folder + "\\data.dat"].Bytes = record;
}

// The names of the files and folders in folder.
inline std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  const std::string prefix = folder + "\\";
  for (const auto& [path, entry] : System.Files) {
    if (path.size() > prefix.size() && EqualNoCase(path.substr(0, prefix.size()), prefix) &&
        path.find('\\', prefix.size()) == std::string::npos) {
      names.push_back(path.substr(prefix.size()));
    }
  }
  return names;
}

// Whether folder holds this version's install and nothing else: each file that the setup program
// carries, under the name that its resource is named after and with its bytes, the uninstaller,
// and the record, if given.
inline void ExpectInstalledFiles(const std::string& folder, const std::string& record,
                                 const std::string& when = "") {
  std::vector<std::string> left = Names(folder);
  const auto take = [&](const std::string& name, const std::string& bytes) {
    const auto found = std::ranges::find_if(left, [&](const std::string& file) {
      std::string resource = file;
      for (char& c : resource) {
        c = c == '.' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
      return EqualNoCase(file, name) || resource == name;
    });
    if (found == left.end()) {
      ADD_FAILURE() << name << " not installed in " << folder << " " << when;
      return;
    }
    EXPECT_EQ(System.Files[folder + "\\" + *found].Bytes, bytes) << *found << " " << when;
    left.erase(found);
  };
  for (const std::string& resource : CarriedResources()) {
    take(resource, resource == "QUENWICK_EXE" ? std::string("quenwick ") + SetupVersion
                                              : "carried " + resource);
  }
  take(std::string(UninstallerFile), "setup");
  if (!record.empty()) take(std::string(RecordFile), record);
  EXPECT_EQ(left, std::vector<std::string>{}) << "left in " << folder << " " << when;
}

}  // namespace quenwick
