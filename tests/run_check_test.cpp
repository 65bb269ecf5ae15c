// The pass as a whole: its steps in order over the watch table, and how it ends.
#include "check/run_check.h"

#include <cstdint>
#include <string>

#include "check/watch_table.h"
#include "platform_double.h"

namespace quenwick {
namespace {

using RunCheckTest = CheckTest;

TEST_F(RunCheckTest, MeasuresTheWatchListThenEndsWithStatusZero) {
  Platform.Files["C:\\WINDOWS\\hosts"] = "127.0.0.1 localhost\r\n";
  try {
    RunCheck();
    FAIL() << "RunCheck returned";
  } catch (const ProgramEnded& ended) {
    EXPECT_EQ(ended.ExitStatus, 0);
  }
  EXPECT_EQ(WatchTable.CurrentSizes, (WatchColumn<std::int32_t>{{21, -1, -1, -1}}));
}

}  // namespace
}  // namespace quenwick
