// The pass as a whole: its steps in order over the watch table, and how it ends.
#include "check/run_check.h"

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "check/watch_table.h"
#include "platform/platform.h"
#include "platform_double.h"

namespace quenwick {
namespace {

constexpr char DataDat[] = "C:\\Quenwick\\data.dat";
constexpr char WriteDataDat[] = "WriteFileAtomically(C:\\Quenwick\\data.dat)";

class RunCheckTest : public CheckTest {
 protected:
  // Runs the pass to its end and gives the exit status it ended with.
  int Run() {
    try {
      RunCheck();
    } catch (const ProgramEnded& ended) {
      return ended.ExitStatus;
    }
    ADD_FAILURE() << "RunCheck returned";
    return -1;
  }
};

TEST_F(RunCheckTest, FirstRunShowsTheNoticeThenRecordsTheSizes) {
  Platform.Files["C:\\WINDOWS\\hosts"] = "127.0.0.1 localhost\r\n";
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(Platform.Calls.size(), 2u);
  EXPECT_TRUE(Platform.Calls[0].starts_with("ShowMessage(64) Program został"));
  EXPECT_EQ(Platform.Calls[1], WriteDataDat);
  EXPECT_EQ(Platform.Files[DataDat], "21\r\n-1\r\n-1\r\n-1\r\n");
}

TEST_F(RunCheckTest, UnchangedRunOnlyRewritesTheSameBaseline) {
  Platform.Files["C:\\WINDOWS\\hosts"] = "127.0.0.1 localhost\r\n";
  Platform.Files[DataDat] = "21\r\n-1\r\n-1\r\n-1\r\n";
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Platform.Calls, std::vector<std::string>{WriteDataDat});
  EXPECT_EQ(Platform.Files[DataDat], "21\r\n-1\r\n-1\r\n-1\r\n");
}

TEST_F(RunCheckTest, BaselineIsSavedAfterTheLastWarningIsAnswered) {
  Platform.Files["C:\\WINDOWS\\hosts"] = "127.0.0.1 localhost\r\n";
  Platform.Files[DataDat] = "20\r\n-1\r\n-1\r\n-1\r\n";
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(Platform.Calls.size(), 2u);
  EXPECT_TRUE(Platform.Calls[0].starts_with("ShowMessage(52) Plik: C:\\WINDOWS\\hosts"));
  EXPECT_EQ(Platform.Calls[1], WriteDataDat);
  EXPECT_EQ(Platform.Files[DataDat], "21\r\n-1\r\n-1\r\n-1\r\n");
}

TEST_F(RunCheckTest, ViewerThatCannotStartEndsTheRunBeforeTheSave) {
  Platform.Files["C:\\WINDOWS\\hosts"] = "127.0.0.1 localhost\r\n";
  Platform.Files[DataDat] = "20\r\n-1\r\n-1\r\n-1\r\n";
  Platform.Answers = {AnswerYes};
  Platform.LaunchFails = true;
  EXPECT_THROW(RunCheck(), std::system_error);
  EXPECT_EQ(Platform.Files[DataDat], "20\r\n-1\r\n-1\r\n-1\r\n");
}

TEST_F(RunCheckTest, FailedSaveIsNotTrapped) {
  Platform.WriteFails = true;
  EXPECT_THROW(RunCheck(), std::system_error);
}

}  // namespace
}  // namespace quenwick
