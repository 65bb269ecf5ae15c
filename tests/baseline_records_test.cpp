// Reading and writing the text of the baseline file: exact bytes out, strict records in.
#include "check/baseline_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "named_case.h"

namespace quenwick {
namespace {

TEST(BaselineRecords, WritesDecimalRecordsEndingInCrLf) {
  EXPECT_EQ(FormatBaselineRecords(SizeColumn{{734, -1, -1, 0}}), "734\r\n-1\r\n-1\r\n0\r\n");
  EXPECT_EQ(FormatBaselineRecords(SizeColumn{{-2147483647 - 1, 2147483647, 10, 100}}),
            "-2147483648\r\n2147483647\r\n10\r\n100\r\n");
}

struct ReadCase : NamedCase {
  std::string head;
  std::optional<SizeColumn> expected;
};

class ParseBaselineRecordsTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ParseBaselineRecordsTest, ReadsFourRecordsOrNothing) {
  EXPECT_EQ(ParseBaselineRecords(GetParam().head), GetParam().expected);
}

const SizeColumn Typical{{734, -1, -1, 0}};
// Three records and a fourth that runs to the end of a full read: it may go on in the file.
const std::string CutShort = "1\r\n2\r\n3\r\n" + std::string(BaselineReadLimit - 9, '4');

INSTANTIATE_TEST_SUITE_P(
    Records, ParseBaselineRecordsTest,
    ::testing::Values(
        ReadCase{"AsWritten", "734\r\n-1\r\n-1\r\n0\r\n", Typical},
        ReadCase{"BareLineFeeds", "734\n-1\n-1\n0\n", Typical},
        ReadCase{"LastEndsTheFile", "734\r\n-1\r\n-1\r\n0", Typical},
        ReadCase{"FifthIgnored", "734\r\n-1\r\n-1\r\n0\r\n99\r\n", Typical},
        ReadCase{"AnythingAfterFourthIgnored", "734\r\n-1\r\n-1\r\n0\r\n\x01 junk", Typical},
        ReadCase{"Extremes", "-2147483648\r\n2147483647\r\n0\r\n-0\r\n",
                 SizeColumn{{-2147483647 - 1, 2147483647, 0, 0}}},
        ReadCase{"Empty", "", std::nullopt}, ReadCase{"TwoRecords", "734\r\n-1\r\n", std::nullopt},
        ReadCase{"EmptyLine", "734\r\n\r\n-1\r\n0\r\n", std::nullopt},
        ReadCase{"PlusSign", "+734\r\n-1\r\n-1\r\n0\r\n", std::nullopt},
        ReadCase{"LeadingSpace", " 734\r\n-1\r\n-1\r\n0\r\n", std::nullopt},
        ReadCase{"TrailingSpace", "734 \r\n-1\r\n-1\r\n0\r\n", std::nullopt},
        ReadCase{"Letters", "734\r\nabc\r\n-1\r\n0\r\n", std::nullopt},
        ReadCase{"NulByte", std::string("734\r\n-1\0\r\n-1\r\n0\r\n", 17), std::nullopt},
        ReadCase{"CrWithoutLf", "734\r-1\r\n-1\r\n0\r\n", std::nullopt},
        ReadCase{"LastEndsInLoneCr", "734\r\n-1\r\n-1\r\n0\r", std::nullopt},
        ReadCase{"AboveRange", "2147483648\r\n-1\r\n-1\r\n0\r\n", std::nullopt},
        ReadCase{"BelowRange", "-2147483649\r\n-1\r\n-1\r\n0\r\n", std::nullopt},
        ReadCase{"LastCutShortByTheReadLimit", CutShort, std::nullopt}),
    ::testing::PrintToStringParamName());

}  // namespace
}  // namespace quenwick
