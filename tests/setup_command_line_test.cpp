// The setup program's command line as deployment tools write it, and the log that /Log= asks for.
#include <gtest/gtest.h>

#include <string>

#include "setup/command_line.h"
#include "setup_runs.h"

namespace quenwick {
namespace {

struct Case {
  const char* Arguments;
  bool Silent, QuietFirstLogon, Uninstall;
  const char* Folder;   // "" for none
  const char* LogPath;  // "" for none
  const char* Unknown;
};

void PrintTo(const Case& row, std::ostream* out) { *out << row.Arguments; }

class CommandLineTest : public ::testing::TestWithParam<Case> {};

std::optional<std::string> Given(const char* text) {
  return *text ? std::optional<std::string>(text) : std::nullopt;
}

TEST_P(CommandLineTest, ReadsWhatItAsks) {
  const Case& expected = GetParam();
  const CommandLine asked = ReadCommandLine(expected.Arguments);
  EXPECT_EQ(asked.Silent, expected.Silent);
  EXPECT_EQ(asked.QuietFirstLogon, expected.QuietFirstLogon);
  EXPECT_EQ(asked.Uninstall, expected.Uninstall);
  EXPECT_EQ(asked.Folder, Given(expected.Folder));
  EXPECT_EQ(asked.LogPath, Given(expected.LogPath));
  EXPECT_EQ(asked.Unknown, expected.Unknown);
}

INSTANTIATE_TEST_SUITE_P(
    DeploymentTools, CommandLineTest,
    ::testing::Values(
        Case{"", false, false, false, "", "", ""}, Case{"/S", true, false, false, "", "", ""},
        Case{"/s /quietfirstlogon /UNINSTALL", true, true, true, "", "", ""},
        Case{"/S /D=C:\\Program Files\\Quenwick", true, false, false, "C:\\Program Files\\Quenwick",
             "", ""},
        Case{"/S /D=C:\\Some Folder\\Quenwick  \t", true, false, false, "C:\\Some Folder\\Quenwick",
             "", ""},
        Case{"/D=\\\\server\\share\\Quenwick", false, false, false, "\\\\server\\share\\Quenwick",
             "", ""},
        Case{"/Log=\"C:\\R&D logs\\setup.log\" /S", true, false, false, "",
             "C:\\R&D logs\\setup.log", ""},
        Case{"/S /Log=C:\\logs\\setup.log /D=C:\\Quenwick", true, false, false, "C:\\Quenwick",
             "C:\\logs\\setup.log", ""},
        // Whatever follows /D= is the folder's, as NSIS's setup programs take it.
        Case{"/D=C:\\Quenwick /norestart", false, false, false, "C:\\Quenwick /norestart", "", ""},
        Case{"/D=Tools\\Quenwick", false, false, false, "", "", "/D=Tools\\Quenwick"},
        Case{"/D=\"C:\\Quenwick\"", false, false, false, "", "", "/D=\"C:\\Quenwick\""},
        Case{"/Log=setup.log /S", true, false, false, "", "", "/Log=setup.log"},
        Case{"/norestart /S /quiet", true, false, false, "", "", "/norestart"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

const std::string LogFile = "C:\\R&D logs\\setup.log";

TEST(SetupLogTest, SaysWhatTheRunDidAndHowItEnded) {
  struct Row {
    const char* Name;
    std::string Arguments;
    int ExitCode;
    std::vector<std::string> Said;
  };
  const Row rows[] = {
      {"a whole install",
       "/S /Log=\"" + LogFile + "\"",
       0,
       {"Quenwick-setup.exe, version " + std::string(SetupVersion) + ", command line: /S /Log=\"" +
            LogFile + "\"",
        "Folder: " + Default, "Step RegisterVersion: done", "Exit code 0"}},
      {"a folder under a file",
       "/S /Log=\"" + LogFile + "\" /D=C:\\Tools\\notes.txt\\Quenwick",
       82,
       {"CreateDirectoryW(C:\\Tools\\notes.txt",
        "Exit code 82: The folder C:\\Tools\\notes.txt\\Quenwick cannot be made"}},
      {"an unknown argument",
       "/S /norestart /Log=\"" + LogFile + "\"",
       87,
       {"Exit code 87: The setup program does not know the argument /norestart"}},
  };
  for (const Row& row : rows) {
    ResetSystem();
    System.Files["C:\\Tools\\notes.txt"].Bytes = "the user's";
    EXPECT_EQ(RunSetup(row.Arguments), row.ExitCode) << row.Name;
    const std::string& log = System.Logs[LogFile];
    for (const std::string& said : row.Said) {
      EXPECT_NE(log.find(said), std::string::npos) << row.Name << ": " << said << " in\n" << log;
    }
    EXPECT_TRUE(log.ends_with("\r\n")) << row.Name;
  }
}

// The uninstaller's copy writes on after its uninstaller, into one log.
TEST(SetupLogTest, UninstallersCopyWritesOnInTheSameLog) {
  ResetSystem();
  Installed(Default, SetupVersion, Record);
  EXPECT_EQ(RunProgram(Default + "\\uninstall.exe", "/S /Log=\"" + LogFile + "\""), 0);
  const std::string& log = System.Logs[LogFile];
  const std::vector<std::string> lines = {
      "uninstall.exe, version", "Handing over to", "The uninstaller's copy, version",
      "Removing the install of " + Default + "\\uninstall.exe", "The copy gave back 0"};
  for (const std::string& said : lines) {
    EXPECT_NE(log.find(said), std::string::npos) << said << " in\n" << log;
  }
}

TEST(SetupLogTest, LogThatCannotBeWrittenChangesNothingElse) {
  for (const char* interactive : {"/S ", ""}) {
    ResetSystem();
    System.Unwritable = {"C:\\R&D logs"};
    EXPECT_EQ(RunSetup(std::string(interactive) + "/Log=\"" + LogFile + "\""), 0) << interactive;
    EXPECT_EQ(System.Messages, 0) << interactive;
  }
  ResetSystem();
  EXPECT_EQ(RunSetup("/S"), 0);
  EXPECT_TRUE(System.Logs.empty());
}

// However an install fails, the log gives the failure's whole message, and an undo that fails too.
TEST(SetupLogTest, FailedInstallAndFailedUndoAreLogged) {
  ResetSystem();
  const std::string before = System.State();
  EXPECT_EQ(RunSetup("/S /Log=\"" + LogFile + "\""), 0);
  const int calls = System.Calls;
  for (int failAt = 1; failAt < calls; ++failAt) {
    ResetSystem();
    System.FailAt = failAt;
    System.FailAlso = failAt + 1;
    const int exitCode = RunSetup("/S /Log=\"" + LogFile + "\"");
    const std::string& log = System.Logs[LogFile];
    const std::string last = log.substr(log.rfind("Exit code"));
    EXPECT_TRUE(last.starts_with("Exit code " + std::to_string(exitCode))) << last;
    if (exitCode == 1603) {
      EXPECT_NE(last.find(std::system_category().message(5)), std::string::npos) << last;
    }
    if (exitCode != 0 && System.State() != before) {
      EXPECT_NE(log.find("Undo failed"), std::string::npos) << "call " << failAt << "\n" << log;
    }
  }
}

}  // namespace
}  // namespace quenwick
