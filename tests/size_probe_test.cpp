// Measuring the watched files: a size in bytes, capped at the largest the table holds, or unknown.
#include "check/size_probe.h"

#include <cstdint>
#include <string>

#include "check/watch_table.h"
#include "named_case.h"
#include "platform_double.h"

namespace quenwick {
namespace {

constexpr std::int32_t Largest = 2147483647;
constexpr char Hosts[] = "C:\\WINDOWS\\system32\\drivers\\etc\\hosts";

struct LengthCase : NamedCase {
  std::uint64_t length;
  std::int32_t expected;
};

class ProbeFileSizeTest : public CheckTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(ProbeFileSizeTest, MeasuresLengthCappedAtLargestSize) {
  Platform.LargeFileLengths[Hosts] = GetParam().length;
  EXPECT_EQ(ProbeFileSize(Hosts), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ProbeFileSizeTest,
                         ::testing::Values(LengthCase{"Empty", 0, 0}, LengthCase{"Small", 734, 734},
                                           LengthCase{"LargestThatFits", Largest, Largest},
                                           LengthCase{"TwoGiB", 2147483648u, Largest},
                                           LengthCase{"FourGiBAndOne", 4294967297u, Largest}),
                         ::testing::PrintToStringParamName());

TEST_F(CheckTest, MissingFileMeasuresUnknown) { EXPECT_EQ(ProbeFileSize(Hosts), SizeUnknown); }

TEST_F(CheckTest, OnlyEtcHostsExistingMeasuresUnknownElsewhere) {
  Platform.Files[Hosts] = std::string(734, 'h');
  BuildWatchList();
  MeasureAll();
  EXPECT_EQ(WatchTable.CurrentSizes, (SizeColumn{{-1, -1, 734, -1}}));
}

}  // namespace
}  // namespace quenwick
