// The program's entry: a whole run, and a fatal error report that says what Quenwick could not do
// and passes on the error that stopped it.
#include <string>

#include "check/program_entry.h"
#include "named_case.h"
#include "platform/platform.h"
#include "platform_double.h"

namespace quenwick {
namespace {

constexpr char Hosts[] = "C:\\WINDOWS\\hosts";
constexpr char DataDat[] = "C:\\Quenwick\\data.dat";
constexpr char OldBaseline[] = "20\r\n-1\r\n-1\r\n-1\r\n";

// Runs the entry to its end and gives the exit status it ended with.
int Enter() {
  try {
    ProgramEntry();
  } catch (const ProgramEnded& ended) {
    return ended.ExitStatus;
  }
  return -1;
}

struct FailureCase : NamedCase {
  bool PlatformDouble::*failure;
  std::string sentence;
  std::string cause;  // how the error given with it begins
};

class FailedRunTest : public CheckTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedRunTest, ReportsWhatCouldNotBeDoneAndKeepsTheOldBaseline) {
  Platform.Files[Hosts] = "127.0.0.1 localhost\r\n";
  Platform.Files[DataDat] = OldBaseline;  // hosts has grown since: the user is asked, says Yes
  Platform.Answers = {AnswerYes};
  Platform.*GetParam().failure = true;
  EXPECT_EQ(Enter(), 1);
  EXPECT_EQ(Platform.Calls.back(), "ReportFatalError(" + GetParam().sentence + ")");
  EXPECT_TRUE(Platform.FatalCause.starts_with(GetParam().cause)) << Platform.FatalCause;
  EXPECT_EQ(Platform.Files[DataDat], OldBaseline);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedRunTest,
    ::testing::Values(FailureCase{"ViewerCannotStart", &PlatformDouble::LaunchFails,
                                  "Nie udało się uruchomić programu notepad.exe.",
                                  "launch notepad.exe C:\\WINDOWS\\hosts"},
                      FailureCase{"SaveFails", &PlatformDouble::WriteFails,
                                  "Nie udało się zapisać pliku C:\\Quenwick\\data.dat.",
                                  "write C:\\Quenwick\\data.dat"},
                      FailureCase{"AnythingElse", &PlatformDouble::BoxFails,
                                  "Wystąpił nieoczekiwany błąd.", "box refused"}),
    ::testing::PrintToStringParamName());

}  // namespace
}  // namespace quenwick
