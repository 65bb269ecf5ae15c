// The scripted system that the check run is tested against, linked in place of the real platform.
// Each test sets the Windows directory, the files and the answers; boxes, launches and writes are
// recorded.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "check/watch_table.h"

namespace quenwick {

// Thrown by EndProgram and ReportFatalError, so that a test sees the end of the run and its exit
// status.
struct ProgramEnded {
  int ExitStatus;
};

struct PlatformDouble {
  // The Windows directory in ANSI bytes, which the double reads as Latin-1; empty makes the call
  // fail.
  std::string WindowsDirectory = "C:\\WINDOWS";
  std::string ProgramDirectoryPath = "C:\\Quenwick";
  // The readable files by Windows path, and the lengths of files too large to hold in a test.
  std::map<std::string, std::string> Files;
  std::map<std::string, std::uint64_t> LargeFileLengths;
  // Given to the boxes in turn; when none is left, an OK box gets OK and a question No.
  std::deque<int> Answers;
  bool BoxFails = false;
  bool LaunchFails = false;
  bool WriteFails = false;

  // Every box, launch, write and fatal error report in order, as "ShowMessage(64) text",
  // "LaunchProgram(1) line", "WriteFileAtomically(path)" and "ReportFatalError(sentence)".
  std::vector<std::string> Calls;
  // what() of the error that the fatal error report was given.
  std::string FatalCause;
};

extern PlatformDouble Platform;

// Starts every test with an empty watch table and a fresh double.
class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WatchTable = {};
    Platform = {};
  }
};

}  // namespace quenwick
