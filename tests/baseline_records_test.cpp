// Reading and writing the text of the baseline file: exact bytes out, strict records in.
#include "check/baseline_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
const std::string TypicalText = "734\r\n-1\r\n-1\r\n0\r\n";
// Three records and a fourth, a small value behind leading zeros, that runs to the end of a full
// read: it may go on in the file.
const std::string CutShort = "1\r\n2\r\n3\r\n" + std::string(BaselineReadLimit - 10, '0') + "4";

// ASCII text as Windows PowerShell's Out-File writes it: UTF-16 LE behind its byte-order mark.
std::string Utf16Le(std::string_view ascii) {
  std::string text = "\xFF\xFE";
  for (const char c : ascii) text += {c, '\0'};
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Records, ParseBaselineRecordsTest,
    ::testing::Values(
        ReadCase{"AsWritten", TypicalText, Typical},
        ReadCase{"BareLineFeeds", "734\n-1\n-1\n0\n", Typical},
        ReadCase{"LastEndsTheFile", "734\r\n-1\r\n-1\r\n0", Typical},
        ReadCase{"FifthIgnored", "734\r\n-1\r\n-1\r\n0\r\n99\r\n", Typical},
        ReadCase{"AnythingAfterFourthIgnored", "734\r\n-1\r\n-1\r\n0\r\n\x01 junk", Typical},
        ReadCase{"Extremes", "-1\r\n2147483647\r\n0\r\n-0\r\n", SizeColumn{{-1, 2147483647, 0, 0}}},
        ReadCase{"Utf8ByteOrderMark", "\xEF\xBB\xBF" + TypicalText, Typical},
        ReadCase{"Utf16LeWithByteOrderMark", Utf16Le(TypicalText), Typical},
        ReadCase{"Utf16LeBeyondAscii", Utf16Le("734\r\n-1\r\n-1\r\n0\r\n\xC4"), std::nullopt},
        ReadCase{"Utf16LeCutMidCharacter", Utf16Le(TypicalText).substr(0, 33), std::nullopt},
        ReadCase{"Utf16WithoutByteOrderMark", Utf16Le(TypicalText).substr(2), std::nullopt},
        ReadCase{"ByteOrderMarkAfterFirstRecord", "734\r\n\xEF\xBB\xBF-1\r\n-1\r\n0\r\n",
                 std::nullopt},
        ReadCase{"NegativeButNotUnknown", "734\r\n-2\r\n-1\r\n0\r\n", std::nullopt},
        ReadCase{"LowestValue", "-2147483648\r\n-1\r\n-1\r\n0\r\n", std::nullopt},
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
