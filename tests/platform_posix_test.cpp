// The POSIX platform layer against the real system, with a Wine-style prefix in a temporary folder
// standing in for Windows.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "named_case.h"
#include "platform/platform.h"

namespace quenwick {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteAll(const fs::path& path, const std::string& contents) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

// A temporary folder holding a Wine-style prefix, named by WINEPREFIX while the test runs.
class PosixPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quenwick-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    prefix = root / "prefix";
    fs::create_directories(prefix / "drive_c" / "windows");
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    setenv("WINEPREFIX", prefix.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("WINEPREFIX");
    fs::remove_all(root);
  }

  fs::path root;
  fs::path prefix;
};

TEST_F(PosixPlatformTest, WindowsDirectoryIsOnDriveCOfThePrefix) {
  char buffer[255];
  ASSERT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 10u);
  EXPECT_STREQ(buffer, "C:\\windows");
  EXPECT_EQ(GetWindowsDirectoryA(buffer, 10), 11u) << "too small a buffer asks for the NUL too";
  fs::remove(prefix / "dosdevices" / "c:");
  EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 0u) << "a prefix without drive C: fails";
}

struct MappingCase : NamedCase {
  std::string windowsPath;  // "<root>" at the start stands for the test's temporary folder
  std::string hostPath;     // relative to that folder
};

class PathMappingTest : public PosixPlatformTest,
                        public ::testing::WithParamInterface<MappingCase> {};

TEST_P(PathMappingTest, WindowsPathReachesHostFile) {
  std::string windowsPath = GetParam().windowsPath;
  if (windowsPath.starts_with("<root>")) windowsPath.replace(0, 6, root.string());
  WriteAll(root / GetParam().hostPath, "1234");
  EXPECT_EQ(FileLength(windowsPath), 4u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathMappingTest,
    ::testing::Values(MappingCase{"DriveC", "C:\\windows\\system32\\hosts",
                                  "prefix/drive_c/windows/system32/hosts"},
                      MappingCase{"LowerCaseDrive", "c:\\windows\\hosts",
                                  "prefix/drive_c/windows/hosts"},
                      MappingCase{"OtherDrive", "D:\\data.dat", "prefix/dosdevices/d:/data.dat"},
                      MappingCase{"HostPathWithBackslash", "<root>/app\\data.dat", "app/data.dat"}),
    ::testing::PrintToStringParamName());

TEST_F(PosixPlatformTest, OnlyRegularFilesHaveALength) {
  WriteAll(root / "empty", "");
  EXPECT_EQ(FileLength((root / "empty").string()), 0u);
  EXPECT_EQ(FileLength((root / "missing").string()), std::nullopt);
  EXPECT_EQ(FileLength((root / "missing-folder" / "hosts").string()), std::nullopt);
  EXPECT_EQ(FileLength(prefix.string()), std::nullopt) << "a directory";
  EXPECT_EQ(FileLength("/dev/null"), std::nullopt) << "a device";
  ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(FileLength((root / "fifo").string()), std::nullopt) << "a FIFO, without blocking";
}

TEST_F(PosixPlatformTest, UnreadableFileStillHasALength) {
  const fs::path hosts = root / "hosts";
  WriteAll(hosts, "1234");
  fs::permissions(hosts, fs::perms::none);
  fs::permissions(root, fs::perms::others_exec, fs::perm_options::add);
  // Root may read any file, so the check runs in a child that, as root, becomes nobody first.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    if (open(hosts.c_str(), O_RDONLY) >= 0) _exit(3);
    _exit(FileLength(hosts.string()) == 4u ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no length, 2: could not become nobody, 3: readable";
}

TEST_F(PosixPlatformTest, FileHeadStopsAtTheLimit) {
  WriteAll(root / "long", std::string(1 << 20, '7'));
  EXPECT_EQ(ReadFileHead((root / "long").string(), 64), std::string(64, '7'));
  WriteAll(root / "short", "734\r\n");
  EXPECT_EQ(ReadFileHead((root / "short").string(), 64), "734\r\n");
  EXPECT_EQ(ReadFileHead((root / "missing").string(), 64), std::nullopt);
}

TEST_F(PosixPlatformTest, FifoWithoutAWriterIsNoFileAndNeverBlocksTheRead) {
  ASSERT_EQ(mkfifo((root / "data.dat").c_str(), 0600), 0);
  // In a child, so that a read that blocks fails the test instead of hanging it.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(ReadFileHead((root / "data.dat").string(), 64) == std::nullopt ? 0 : 1);
  int status = -1;
  for (int tries = 0; tries < 100 && waitpid(child, &status, WNOHANG) == 0; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (status == -1) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "the read waited for a writer";
  }
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a FIFO read as a file";
}

TEST_F(PosixPlatformTest, AtomicWriteReplacesTheFileAndLeavesNothingElse) {
  WriteAll(root / "app" / "data.dat", "old contents that are longer\r\n");
  WriteFileAtomically((root / "app\\data.dat").string(), "734\r\n");
  EXPECT_EQ(ReadAll(root / "app" / "data.dat"), "734\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(root / "app"), {}), 1);
}

TEST(PosixPlatform, ProgramDirectoryHoldsTheRunningProgram) {
  EXPECT_TRUE(fs::is_regular_file(ProgramDirectory() + "/platform_tests"));
}

struct AnswerCase : NamedCase {
  unsigned style;
  std::string input;
  int answer;
};

class ShowMessageTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ShowMessageTest, AsksOnTheTerminal) {
  std::istringstream input(GetParam().input);
  std::ostringstream output;
  std::streambuf* const savedInput = std::cin.rdbuf(input.rdbuf());
  std::streambuf* const savedOutput = std::cout.rdbuf(output.rdbuf());
  const int answer = ShowMessage("Plik zmienił zawartość.", GetParam().style);
  std::cin.rdbuf(savedInput);
  std::cout.rdbuf(savedOutput);
  EXPECT_EQ(answer, GetParam().answer);
  EXPECT_TRUE(output.str().starts_with("Quenwick: Plik zmienił zawartość. ["));
}

constexpr unsigned Question = IconExclamation | ButtonsYesNo;
constexpr unsigned Notice = IconInformation | ButtonsOk;

INSTANTIATE_TEST_SUITE_P(Answers, ShowMessageTest,
                         ::testing::Values(AnswerCase{"EnterIsYes", Question, "\n", AnswerYes},
                                           AnswerCase{"Tak", Question, "Tak\n", AnswerYes},
                                           AnswerCase{"LowerT", Question, "t\n", AnswerYes},
                                           AnswerCase{"Yes", Question, "Yes\n", AnswerYes},
                                           AnswerCase{"Nie", Question, "nie\n", AnswerNo},
                                           AnswerCase{"Other", Question, " y\n", AnswerNo},
                                           AnswerCase{"EndOfInputIsNo", Question, "", AnswerNo},
                                           AnswerCase{"NoticeLine", Notice, "n\n", AnswerOk},
                                           AnswerCase{"NoticeEndOfInput", Notice, "", AnswerOk}),
                         ::testing::PrintToStringParamName());

TEST_F(PosixPlatformTest, ViewerStartsDetachedWithThePathAsOneArgument) {
  // A viewer on a PATH of the test's own that records its command line, where its standard input
  // and output lead, its session and its process id.
  WriteAll(root / "bin" / "viewer",
           "#!/bin/sh\n"
           "streams=$(/bin/readlink /proc/$$/fd/0 /proc/$$/fd/1)\n"
           "{ printf '%s|' \"$0\" \"$@\"; echo; echo \"$streams\"; /bin/cut -d' ' -f6 "
           "/proc/$$/stat; echo $$; } > \"$0.part\" && /bin/mv \"$0.part\" \"$0.record\"\n");
  fs::permissions(root / "bin" / "viewer", fs::perms::owner_all);
  const std::string savedPath = std::getenv("PATH");
  setenv("PATH", (root / "bin").c_str(), 1);
  LaunchProgram("viewer C:\\Program Files\\hosts", ShowNormal);
  setenv("PATH", savedPath.c_str(), 1);

  const fs::path record = root / "bin" / "viewer.record";
  for (int tries = 0; tries < 500 && !fs::exists(record); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::istringstream lines(ReadAll(record));
  std::vector<std::string> line(5);
  for (std::string& text : line) std::getline(lines, text);
  EXPECT_EQ(line[0], (root / "bin" / "viewer").string() + "|C:\\Program Files\\hosts|");
  EXPECT_EQ(line[1], "/dev/null");
  EXPECT_EQ(line[2], "/dev/null");
  EXPECT_EQ(line[3], line[4]) << "leads a session of its own";
}

}  // namespace
}  // namespace quenwick
