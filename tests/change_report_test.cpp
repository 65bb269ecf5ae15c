// Warning about changed sizes, one box per entry in index order, and the viewer on Yes.
#include "check/change_report.h"

#include <cstdint>
#include <string>
#include <vector>

#include "check/watch_table.h"
#include "named_case.h"
#include "platform/platform.h"
#include "platform_double.h"

namespace quenwick {
namespace {

const std::string WarningAboutEtcHosts =
    "ShowMessage(52) " + ChangeWarning("C:\\WINDOWS\\system32\\drivers\\etc\\hosts");

struct SizesCase : NamedCase {
  std::int32_t current;
  std::int32_t saved;
  bool warned;
};

class ChangeReportTest : public CheckTest, public ::testing::WithParamInterface<SizesCase> {};

TEST_P(ChangeReportTest, WarnsOnlyAboutADifferenceFromARecordedSize) {
  BuildWatchList();
  WatchTable.CurrentSizes = SizeColumn{{-1, -1, GetParam().current, -1}};
  WatchTable.SavedSizes = SizeColumn{{-1, -1, GetParam().saved, -1}};
  ReportChanges();
  const std::vector<std::string> warning{WarningAboutEtcHosts};
  EXPECT_EQ(Platform.Calls, GetParam().warned ? warning : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChangeReportTest,
                         ::testing::Values(SizesCase{"Grown", 760, 734, true},
                                           SizesCase{"Emptied", 0, 734, true},
                                           SizesCase{"Disappeared", -1, 734, true},
                                           SizesCase{"Unchanged", 734, 734, false},
                                           SizesCase{"StillAbsent", -1, -1, false},
                                           SizesCase{"Appeared", 760, -1, false}),
                         ::testing::PrintToStringParamName());

TEST_F(CheckTest, EachChangeIsAskedAboutInTurnAndYesOpensNotepad) {
  BuildWatchList();
  WatchTable.CurrentSizes = SizeColumn{{10, 0, 760, 0}};
  WatchTable.SavedSizes = SizeColumn{{11, 0, 734, 0}};
  Platform.Answers = {AnswerYes, AnswerNo};
  ReportChanges();
  EXPECT_EQ(Platform.Calls, (std::vector<std::string>{
                                "ShowMessage(52) " + ChangeWarning("C:\\WINDOWS\\hosts"),
                                "LaunchProgram(1) notepad.exe C:\\WINDOWS\\hosts",
                                WarningAboutEtcHosts,
                            }));
}

}  // namespace
}  // namespace quenwick
