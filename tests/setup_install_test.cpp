// What an install promises beside its transaction: a silent run makes an install whole whatever
// part of it is missing, an older version never replaces a newer one, the uninstall leaves a
// shortcut that is not its install's, and a folder is as long as every path of the install allows.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "setup_runs.h"

namespace quenwick {
namespace {

void ExpectWhole(const std::string& folder, const std::string& name) {
  EXPECT_EQ(System.Files[folder + "\\quenwick.exe"].Bytes, std::string("quenwick ") + SetupVersion)
      << name;
  EXPECT_EQ(System.Files[folder + "\\uninstall.exe"].Bytes, "setup") << name;
  EXPECT_EQ(System.Files[Shortcut].Bytes, "-> " + folder + "\\quenwick.exe") << name;
  RegistryValues& entry = System.Registry[Key];
  EXPECT_EQ(std::get<std::string>(entry["InstallLocation"]), folder) << name;
  EXPECT_EQ(std::get<std::string>(entry["DisplayVersion"]), SetupVersion) << name;
}

// As a logon script's run at every logon puts back what the user or a cleaner took.
TEST(WholeInstallTest, SilentRunPutsBackWhateverPartIsMissing) {
  struct Case {
    const char* Name;
    std::function<void()> Break;
  };
  const Case cases[] = {
      {"the shortcut", [] { System.Files.erase(Shortcut); }},
      {"a shortcut to another program",
       [] { System.Files[Shortcut].Bytes = "-> C:\\Tools\\quenwick.exe"; }},
      {"the uninstaller", [] { System.Files.erase(Default + "\\uninstall.exe"); }},
      {"the program", [] { System.Files.erase(Default + "\\quenwick.exe"); }},
      {"the entry's version", [] { System.Registry[Key].erase("DisplayVersion"); }},
      {"the entry", [] { System.Registry.erase(Key); }},
  };
  for (const Case& row : cases) {
    ResetSystem();
    Installed(Default, SetupVersion, Record);
    row.Break();
    EXPECT_EQ(RunSetup("/S"), 0) << row.Name;
    ExpectWhole(Default, row.Name);
    EXPECT_EQ(System.Files[Default + "\\data.dat"].Bytes, Record) << row.Name;
  }
}

TEST(DowngradeTest, OlderVersionNeverReplacesANewerOne) {
  struct Case {
    const char* Name;
    std::function<void()> Arrange;
    std::string Arguments;
  };
  const Case cases[] = {
      {"a newer version registered", [] { Installed(Default, "9.0.0", Record); }, "/S"},
      {"a newer version registered, installed elsewhere", [] { Installed(Default, "9.0.0", ""); },
       "/S /D=" + Moved},
      {"a newer program in the folder given",
       [] {
         System.Files["C:\\Tools\\Quenwick"].Folder = true;
         System.Files[Moved + "\\quenwick.exe"].Bytes = "quenwick 9.0.0";
       },
       "/S /D=" + Moved},
  };
  for (const Case& row : cases) {
    ResetSystem();
    row.Arrange();
    const std::string before = System.State();
    EXPECT_EQ(RunSetup(row.Arguments), 1638) << row.Name;
    EXPECT_EQ(System.State(), before) << row.Name;
  }
}

TEST(UninstallShortcutTest, ShortcutThatStartsAnotherCopyStays) {
  for (const char* arguments : {"/S /Uninstall", ""}) {
    ResetSystem();
    Installed(Default, SetupVersion, Record);
    System.Files["C:\\Tools\\quenwick.exe"].Bytes = std::string("quenwick ") + SetupVersion;
    System.Files[Shortcut].Bytes = "-> C:\\Tools\\quenwick.exe";
    EXPECT_EQ(std::string(arguments).empty() ? RunProgram(Default + "\\uninstall.exe", "/S")
                                             : RunSetup(arguments),
              0);
    EXPECT_EQ(System.Files[Shortcut].Bytes, "-> C:\\Tools\\quenwick.exe") << arguments;
    EXPECT_FALSE(System.Files.contains(Default)) << arguments;
  }
}

// On a Windows without long paths, every path of the install must fit in 259 characters: its
// longest is the program's temporary record, "data.dat.<process id>.tmp".
TEST(FolderLengthTest, LongestFolderLeavesRoomForEveryPathOfTheInstall) {
  for (const auto& [length, exitCode] : {std::pair{235, 0}, std::pair{236, 206}}) {
    ResetSystem();
    const std::string folder = "C:\\Tools\\" + std::string(length - 9, 'q');
    EXPECT_EQ(RunSetup("/S /D=" + folder), exitCode) << length;
  }
}

}  // namespace
}  // namespace quenwick
