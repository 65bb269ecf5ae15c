// Loading and saving "data.dat" beside the program, with the first-run notice when it is unusable.
#include "check/baseline_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "check/watch_table.h"
#include "named_case.h"
#include "platform_double.h"

namespace quenwick {
namespace {

constexpr char DataDat[] = "C:\\Quenwick\\data.dat";
const std::string NoticeCall = "ShowMessage(64) " + std::string(FirstRunNotice);

struct UnusableCase : NamedCase {
  std::optional<std::string> contents;  // nothing: there is no file
};

class UnusableBaselineTest : public CheckTest,
                             public ::testing::WithParamInterface<UnusableCase> {};

TEST_P(UnusableBaselineTest, ShowsTheNoticeOnceAndForgetsEverySize) {
  if (GetParam().contents) Platform.Files[DataDat] = *GetParam().contents;
  WatchTable.SavedSizes = SizeColumn{{1, 2, 3, 4}};
  LoadBaseline();
  EXPECT_EQ(Platform.Calls, std::vector<std::string>{NoticeCall});
  EXPECT_EQ(WatchTable.SavedSizes, (SizeColumn{{-1, -1, -1, -1}}));
}

INSTANTIATE_TEST_SUITE_P(Files, UnusableBaselineTest,
                         ::testing::Values(UnusableCase{"Missing", std::nullopt},
                                           UnusableCase{"Empty", ""},
                                           UnusableCase{"TwoRecords", "734\r\n-1\r\n"},
                                           UnusableCase{"Binary", "\x7f\x45LF\x02\x01"},
                                           UnusableCase{"HugeLine", std::string(1 << 20, '9')}),
                         ::testing::PrintToStringParamName());

TEST_F(CheckTest, BaselineLoadsTheFirstFourRecordsSilently) {
  Platform.Files[DataDat] = "734\r\n-1\r\n-1\r\n0\r\n5\r\n";
  LoadBaseline();
  EXPECT_EQ(Platform.Calls, std::vector<std::string>{});
  EXPECT_EQ(WatchTable.SavedSizes, (SizeColumn{{734, -1, -1, 0}}));
}

TEST_F(CheckTest, BaselineSavesTheCurrentSizesBesideTheProgram) {
  WatchTable.CurrentSizes = SizeColumn{{734, -1, -1, 0}};
  SaveBaseline();
  EXPECT_EQ(Platform.Files[DataDat], "734\r\n-1\r\n-1\r\n0\r\n");
}

TEST_F(CheckTest, BaselineAtADriveRootFollowsTheSeparatorThere) {
  Platform.ProgramDirectoryPath = "D:\\";
  EXPECT_EQ(BaselinePath(), "D:\\\\data.dat");
}

}  // namespace
}  // namespace quenwick
