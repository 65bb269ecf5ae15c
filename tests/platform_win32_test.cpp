// The Win32 platform layer against the real system (Windows, or Wine in CI), in a temporary folder.
// Boxes are left to the end-to-end tests, which can answer them.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "named_case.h"
#include "platform/error_win32.h"
#include "platform/lock_wait_win32.h"
#include "platform/platform.h"

namespace quenwick {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path FromUtf8(const std::string& text) { return std::u8string(text.begin(), text.end()); }

std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Opens path with no sharing at all, as another program that locks the file would.
HANDLE Lock(const fs::path& path) {
  return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // Polish letters in the folder name show that paths travel as UTF-8 and reach the system.
    folder = fs::temp_directory_path() / (fs::path(u8"quenwick-żółw-") += test);
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "hosts", std::ios::binary) << "127.0.0.1 localhost\r\n";
  }
  // A cmd.exe that a test started may hold the folder as its current directory for a moment after
  // the test, which Windows, unlike Wine, does not remove: waited out as a held file is.
  void TearDown() override {
    std::error_code failure;
    unsigned attempt = 0;
    do fs::remove_all(folder, failure);
    while (failure && PauseBeforeRetry(attempt++));
  }

  fs::path folder;
};

TEST_F(Win32PlatformTest, OnlyFilesOnDiskHaveALength) {
  EXPECT_EQ(FileLength(Utf8(folder / "hosts")), 21u);
  EXPECT_EQ(FileLength(Utf8(folder / "missing")), std::nullopt);
  EXPECT_EQ(FileLength(Utf8(folder)), std::nullopt) << "a directory";
  EXPECT_EQ(FileLength("NUL"), std::nullopt) << "a device";
}

TEST_F(Win32PlatformTest, FileLockedByAnotherProgramStillHasALength) {
  const HANDLE lock = Lock(folder / "hosts");
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileLength(Utf8(folder / "hosts")), 21u);
  EXPECT_EQ(ReadFileHead(Utf8(folder / "hosts"), 64), std::nullopt) << "but cannot be read";
  CloseHandle(lock);
}

TEST_F(Win32PlatformTest, FileHeadStopsAtTheLimit) {
  EXPECT_EQ(ReadFileHead(Utf8(folder / "hosts"), 9), "127.0.0.1");
  EXPECT_EQ(ReadFileHead(Utf8(folder / "hosts"), 64), "127.0.0.1 localhost\r\n");
  EXPECT_EQ(ReadFileHead(Utf8(folder / "missing"), 64), std::nullopt);
}

TEST_F(Win32PlatformTest, AtomicWriteReplacesTheFileAndLeavesNothingElse) {
  WriteFileAtomically(Utf8(folder / "hosts"), "734\r\n");
  EXPECT_EQ(ReadAll(folder / "hosts"), "734\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
}

TEST_F(Win32PlatformTest, AtomicWriteOverLockedFileFailsAndKeepsTheOldFile) {
  const HANDLE lock = Lock(folder / "hosts");
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  try {
    WriteFileAtomically(Utf8(folder / "hosts"), "734\r\n");
    ADD_FAILURE() << "no error";
  } catch (const std::system_error& error) {
    EXPECT_TRUE(std::string(error.what()).starts_with("MoveFileExW(" + Utf8(folder / "hosts")))
        << error.what();
  }
  CloseHandle(lock);
  EXPECT_EQ(ReadAll(folder / "hosts"), "127.0.0.1 localhost\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
}

TEST(Win32Platform, ProgramDirectoryHoldsTheRunningProgram) {
  EXPECT_TRUE(fs::is_regular_file(FromUtf8(ProgramDirectory()) / "platform_tests.exe"));
}

TEST_F(Win32PlatformTest, BareProgramNameIsNeverTakenFromTheCurrentDirectory) {
  // A planted cmd.exe that is no program at all: starting it instead of the real one would fail.
  std::ofstream(folder / "cmd.exe") << "planted";
  const fs::path saved = fs::current_path();
  fs::current_path(folder);
  LaunchProgram("cmd.exe /c echo started>started.txt", SW_HIDE);
  fs::current_path(saved);
  for (int tries = 0; tries < 200 && !fs::exists(folder / "started.txt"); ++tries) Sleep(50);
  EXPECT_TRUE(fs::exists(folder / "started.txt"));
}

TEST(Win32Platform, ProgramThatCannotBeFoundIsAnError) {
  EXPECT_THROW(LaunchProgram("no-such-viewer.exe C:\\windows\\hosts", ShowNormal),
               std::system_error);
}

// A category whose only text is the case's, standing in for the system's texts with inserts.
class TextCategory final : public std::error_category {
 public:
  explicit TextCategory(std::string text) : text_(std::move(text)) {}
  const char* name() const noexcept override { return "text"; }
  std::string message(int) const override { return text_; }

 private:
  std::string text_;
};

struct ReasonCase : NamedCase {
  std::string text;
  std::string expected;
};

class SystemReasonTest : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(SystemReasonTest, NamesTheSubjectInPlaceOfEachInsert) {
  const TextCategory category(GetParam().text);
  const SystemCallError failure(std::error_code(1, category), "CreateProcessW", "C:\\n.exe");
  EXPECT_EQ(SystemReason(failure), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SystemReasonTest,
    ::testing::Values(ReasonCase{"NoInsert", "Access is denied.", "Access is denied."},
                      ReasonCase{"LeadingInsert", "%1 is not a valid Win32 application.",
                                 "C:\\n.exe is not a valid Win32 application."},
                      ReasonCase{"TwoInserts", "Insert %2 into drive %1.",
                                 "Insert C:\\n.exe into drive C:\\n.exe."},
                      ReasonCase{"InsertWithFormat", "Bad %1!s!.", "Bad C:\\n.exe."},
                      ReasonCase{"FormatNeverClosed", "Bad %12!s", "Bad C:\\n.exe"},
                      ReasonCase{"PercentThatIsNoInsert", "100% and %0 and %",
                                 "100% and %0 and %"}),
    ::testing::PrintToStringParamName());

TEST(Win32Platform, SystemReasonForAProgramThatIsNotOneHoldsNoInsert) {
  const SystemCallError failure(std::error_code(ERROR_BAD_EXE_FORMAT, Win32Category()),
                                "CreateProcessW", "C:\\windows\\notepad.exe");
  EXPECT_EQ(SystemReason(failure).find('%'), std::string::npos) << SystemReason(failure);
}

}  // namespace
}  // namespace quenwick
