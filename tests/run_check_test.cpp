// The pass as a whole: its steps in order over the watch table, and how it ends.
#include "check/run_check.h"

#include <optional>
#include <string>
#include <vector>

#include "check/watch_table.h"
#include "named_case.h"
#include "platform/platform.h"
#include "platform_double.h"

namespace quenwick {
namespace {

constexpr char Hosts[] = "C:\\WINDOWS\\hosts";
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

struct PassCase : NamedCase {
  std::optional<std::string> baseline;  // data.dat before the pass, if there is one
  std::string box;                      // how the one box of the pass begins; empty: no box
};

class CompletedPassTest : public RunCheckTest, public ::testing::WithParamInterface<PassCase> {};

TEST_P(CompletedPassTest, RecordsTheSizesOnceEveryBoxIsAnswered) {
  Platform.Files[Hosts] = "127.0.0.1 localhost\r\n";
  if (GetParam().baseline) Platform.Files[DataDat] = *GetParam().baseline;
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(Platform.Calls.size(), GetParam().box.empty() ? 1u : 2u);
  EXPECT_TRUE(Platform.Calls.front().starts_with(GetParam().box));
  EXPECT_EQ(Platform.Calls.back(), WriteDataDat);
  EXPECT_EQ(Platform.Files[DataDat], "21\r\n-1\r\n-1\r\n-1\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Passes, CompletedPassTest,
    ::testing::Values(PassCase{"FirstRun", std::nullopt, "ShowMessage(64) Program został"},
                      PassCase{"Unchanged", "21\r\n-1\r\n-1\r\n-1\r\n", ""},
                      PassCase{"Grown", "20\r\n-1\r\n-1\r\n-1\r\n",
                               "ShowMessage(52) Plik: C:\\WINDOWS\\hosts zmienił"}),
    ::testing::PrintToStringParamName());

}  // namespace
}  // namespace quenwick
