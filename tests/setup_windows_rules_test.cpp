// What the setup program promises where Windows behaves otherwise than Wine, held against the
// double's rules of Windows: an uninstall that never waits on a window and whose exit code is
// true when given, a copy in %TEMP% that goes, links and other programs' files never removed, a
// system account refused first, and folders told apart where the file system gives no ids.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "setup_runs.h"

namespace quenwick {
namespace {

const std::string Uninstaller = Default + "\\uninstall.exe";

struct Row {
  const char* Name;
  std::function<void()> Arrange;
  std::string Program;  // "" for the setup program
  std::string Arguments;
  int ExitCode;
};

int RunRow(const Row& row) {
  return row.Program.empty() ? RunSetup(row.Arguments) : RunProgram(row.Program, row.Arguments);
}

// Whether nothing of the install is left that a detection, the Startup folder or Apps & features
// sees, and nothing in the install's folder but what is named.
void ExpectRemovedLeaving(const std::vector<std::string>& left, const std::string& name) {
  EXPECT_FALSE(System.Registry.contains(Key)) << name;
  EXPECT_FALSE(System.Files.contains(Shortcut)) << name;
  EXPECT_EQ(Names(Default), left) << name;
  if (left.empty()) {
    EXPECT_FALSE(System.Files.contains(Programs)) << name;
  }
}

TEST(SilentUninstallTest, HandOverThatCannotBeMadeRemovesInPlaceWithoutAWindow) {
  struct Case {
    const char* Name;
    std::function<void()> Arrange;
    std::vector<std::string> Left;
    std::size_t LeftInTemp;  // what another program keeps there, which the next run sweeps
  };
  const std::string copy = Temp + "\\Quenwick-uninstall-4246.exe";
  const Case cases[] = {
      {"read-only uninstaller, whose copy is read-only too",
       [] { System.Files[Uninstaller].ReadOnly = true; },
       {},
       0},
      {"no %TEMP%", [] { System.Known[KnownFolder::Temp] = "C:\\no\\such"; }, {"uninstall.exe"}, 0},
      {"a policy that starts no program from %TEMP%",
       [] { System.Refused = {Temp}; },
       {"uninstall.exe"},
       0},
      {"a folder in the copy's place",
       [&] { System.Files[copy].Folder = true; },
       {"uninstall.exe"},
       1},
      {"a scanner holding the copy", [&] { System.Held = {copy}; }, {"uninstall.exe"}, 1},
  };
  for (const Case& row : cases) {
    ResetSystem();
    Installed(Default, SetupVersion, Record);
    row.Arrange();
    EXPECT_EQ(RunProgram(Uninstaller, "/S"), 0) << row.Name;
    EXPECT_EQ(System.Messages, 0) << row.Name;
    ExpectRemovedLeaving(row.Left, row.Name);
    EXPECT_EQ(Names(Temp).size(), row.LeftInTemp) << row.Name;
    // What is left, the next setup program takes for its own.
    System.Refused.clear();
    System.Held.clear();
    EXPECT_EQ(RunSetup("/S"), 0) << row.Name;
  }
}

TEST(SilentUninstallTest, InteractiveUninstallInPlaceSpeaksOfUninstalling) {
  ResetSystem();
  Installed(Default, SetupVersion, Record);
  System.Refused = {Temp};
  EXPECT_EQ(RunProgram(Uninstaller, ""), 0);
  ASSERT_EQ(System.Shown.size(), 2u);
  for (const std::string& shown : System.Shown) {
    EXPECT_TRUE(shown.starts_with("Quenwick Uninstall: ")) << shown;
  }
  EXPECT_NE(System.Shown[1].find("removed"), std::string::npos) << System.Shown[1];
}

// The code is given only once everything that it reports is done, with the lock let go, so that an
// install started the moment that it returns can begin; and nothing is said after it.
TEST(SilentUninstallTest, ExitCodeIsTrueTheMomentItIsGiven) {
  for (const char* arguments : {"/S", ""}) {
    ResetSystem();
    Installed(Default, SetupVersion, Record);
    System.Files[Default + "\\data.dat.4242.tmp"].Bytes = Record;
    EXPECT_EQ(RunProgram(Uninstaller, arguments), 0);
    ASSERT_TRUE(System.HandedBack) << arguments;
    EXPECT_FALSE(System.HandedBack->LockHeld) << arguments;
    EXPECT_EQ(System.HandedBack->Messages, System.Messages) << arguments;
    for (const std::string& gone : {Key, Shortcut, Default + "\\quenwick.exe",
                                    Default + "\\data.dat", Default + "\\data.dat.4242.tmp"}) {
      EXPECT_EQ(System.HandedBack->State.find(gone + " ="), std::string::npos) << arguments << gone;
    }
  }
}

TEST(SilentUninstallTest, InstallStartedTheMomentTheUninstallReturnsIsWhole) {
  ResetSystem();
  Installed(Default, SetupVersion, Record);
  System.Meanwhile = [] { EXPECT_EQ(RunMeanwhile("/S"), 0); };
  EXPECT_EQ(RunProgram(Uninstaller, "/S"), 0);
  ExpectInstalledFiles(Default, "");
  EXPECT_EQ(std::get<std::string>(System.Registry[Key]["DisplayVersion"]), SetupVersion);
}

TEST(SilentUninstallTest, UninstallerHeldAfterTheCodeStaysWithoutAWord) {
  ResetSystem();
  Installed(Default, SetupVersion, Record);
  System.Held = {Uninstaller};
  EXPECT_EQ(RunProgram(Uninstaller, ""), 0);
  EXPECT_EQ(System.HandedBack->Messages, System.Messages);
  ExpectRemovedLeaving({"uninstall.exe"}, "held");
  EXPECT_EQ(Names(Temp), std::vector<std::string>{});
}

TEST(StaleCopyTest, CopiesWhoseUninstallerHasEndedGoAtTheNextRun) {
  struct Case {
    const char* Name;
    std::string Program;
    std::string Arguments;
  };
  const Case cases[] = {{"an install", "", "/S"},
                        {"the setup program's uninstall", "", "/S /Uninstall"},
                        {"the uninstaller", Uninstaller, "/S"}};
  for (const Case& row : cases) {
    ResetSystem();
    Installed(Default, SetupVersion, "");
    System.Files[Temp + "\\Quenwick-uninstall-77.exe"].Bytes = "setup";
    System.Files[Temp + "\\Quenwick-uninstall-78.exe"].ReadOnly = true;
    System.Files[Temp + "\\Quenwick-uninstall-79.exe"].Bytes = "setup";  // its uninstaller runs
    System.LiveProcesses = {79};
    System.Files[Temp + "\\Quenwick-uninstall-notes.txt"].Bytes = "the user's";
    System.Files[Temp + "\\Quenwick-uninstall-80.exe"].Bytes = "setup";  // it runs itself
    System.Running = {Temp + "\\Quenwick-uninstall-80.exe"};
    EXPECT_EQ(
        row.Program.empty() ? RunSetup(row.Arguments) : RunProgram(row.Program, row.Arguments), 0)
        << row.Name;
    EXPECT_EQ(Names(Temp),
              (std::vector<std::string>{"Quenwick-uninstall-79.exe", "Quenwick-uninstall-80.exe",
                                        "Quenwick-uninstall-notes.txt"}))
        << row.Name;
  }
}

// A user who moved Programs to another drive with mklink /J, or whose install folder is reached
// through a junction, keeps the link and all that its target holds.
TEST(LinkTest, JunctionsAreNeverRemoved) {
  struct Case {
    const char* Name;
    std::string Link;
    std::string Target;
    std::vector<std::string> TargetAfter;
  };
  const Case cases[] = {
      {"Programs", Programs, "D:\\Programs", {"Other"}},
      {"an empty Programs", Programs, "D:\\Programs", {}},
      {"the install folder, with a file of the user's", Default, "D:\\Quenwick", {"notes.txt"}},
  };
  for (const Case& row : cases) {
    ResetSystem();
    if (row.Link == Default) System.Files[Programs].Folder = true;
    System.Files[row.Target].Folder = true;
    System.Files[row.Link].Folder = true;
    System.Files[row.Link].LinkTo = row.Target;
    ASSERT_EQ(RunSetup("/S"), 0) << row.Name;
    for (const std::string& name : row.TargetAfter) {
      System.Files[row.Target + "\\" + name].Bytes = "another's";
    }
    EXPECT_EQ(RunProgram(Uninstaller, "/S"), 0) << row.Name;
    EXPECT_EQ(System.Files[row.Link].LinkTo, row.Target) << row.Name;
    EXPECT_EQ(Names(row.Target), row.TargetAfter) << row.Name;
    EXPECT_FALSE(System.Registry.contains(Key)) << row.Name;
  }
}

TEST(OwnFilesTest, AnotherProgramsFilesAreNeverTaken) {
  const std::string tools = "C:\\Tools";
  const Row rows[] = {
      {"a portable quenwick.exe, another program's uninstaller and a file of the user's",
       [&] {
         System.Files[tools + "\\quenwick.exe"].Bytes = std::string("quenwick ") + SetupVersion;
         System.Files[tools + "\\uninstall.exe"].Bytes = "another program's uninstaller";
         System.Files[tools + "\\notes.txt"].Bytes = "the user's";
       },
       "", "/S /D=" + tools, 145},
      {"another program's uninstaller alone",
       [&] { System.Files[tools + "\\uninstall.exe"].Bytes = "another program's uninstaller"; }, "",
       "/S /D=" + tools, 145},
      {"another program's quenwick.exe",
       [&] { System.Files[tools + "\\quenwick.exe"].Bytes = "another program's"; }, "",
       "/S /D=" + tools, 145},
  };
  for (const Row& row : rows) {
    ResetSystem();
    row.Arrange();
    const std::string before = System.State();
    EXPECT_EQ(RunRow(row), row.ExitCode) << row.Name;
    EXPECT_EQ(System.State(), before) << row.Name;
  }
}

TEST(OwnFilesTest, RemovalLeavesAnotherProgramsFileOfTheSameName) {
  for (const std::string name : {"quenwick.exe", "uninstall.exe"}) {
    ResetSystem();
    Installed(Moved, SetupVersion, Record);
    System.Files[Moved + "\\" + name].Bytes = "another program's";
    EXPECT_EQ(RunSetup("/S /Uninstall"), 0) << name;
    EXPECT_EQ(Names(Moved), std::vector<std::string>{name});
    EXPECT_EQ(System.Files[Moved + "\\" + name].Bytes, "another program's");
  }
}

TEST(AccountTest, SystemIsRefusedFirstInEveryModeWithNothingCopied) {
  const Row rows[] = {
      {"install", nullptr, "", "/S", 10},
      {"interactive install", nullptr, "", "", 10},
      {"the setup program's uninstall", nullptr, "", "/S /Uninstall", 10},
      {"the uninstaller", nullptr, Uninstaller, "/S", 10},
      {"the interactive uninstaller", nullptr, Uninstaller, "", 10},
  };
  for (const Row& row : rows) {
    ResetSystem();
    Installed(Default, SetupVersion, Record);
    BecomeSystem();
    const std::string before = System.State();
    EXPECT_EQ(RunRow(row), row.ExitCode) << row.Name;
    EXPECT_EQ(System.State(), before) << row.Name;
  }
}

// Where the file system gives no file ids, or 64-bit ones that are not unique, another folder is
// never the installed one, and the installed one is still itself however it is spelled.
TEST(IdentityTest, FoldersAreToldApartWhereIdsAreMissingOrNotUnique) {
  struct Case {
    const char* Name;
    std::string Installed;
    std::string Given;
    int ExitCode;
  };
  const Case cases[] = {
      {"no ids, another folder with a file of the user's", "N:\\A\\Quenwick", "N:\\B\\Quenwick",
       145},
      {"no ids, the same folder spelled otherwise", "N:\\A\\Quenwick", "n:\\a\\QUENWICK", 0},
      {"ReFS, another folder with a file of the user's", "D:\\A\\Quenwick", "D:\\B\\Quenwick", 145},
  };
  for (const Case& row : cases) {
    ResetSystem();
    for (const std::string folder :
         {"N:\\A", "N:\\B", "D:\\A", "D:\\B", "N:\\B\\Quenwick", "D:\\B\\Quenwick"}) {
      System.Files[folder].Folder = true;
    }
    for (const std::string file : {"N:\\B\\Quenwick\\notes.txt", "D:\\B\\Quenwick\\notes.txt"}) {
      System.Files[file].Bytes = "the user's";
    }
    Installed(row.Installed, "0.9.0", Record);
    const std::string before = System.State();
    EXPECT_EQ(RunSetup("/S /D=" + row.Given), row.ExitCode) << row.Name;
    if (row.ExitCode != 0) {
      EXPECT_EQ(System.State(), before) << row.Name;
    } else {
      EXPECT_EQ(System.Files[row.Installed + "\\quenwick.exe"].Bytes,
                std::string("quenwick ") + SetupVersion)
          << row.Name;
    }
  }
}

}  // namespace
}  // namespace quenwick
