// How the flash decision reduces version replies and decides, rule by rule.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "exports/rules/FlashVersionText.h"
#include "support/RowName.h"

namespace {

using Segments = std::vector<std::string>;

struct QuotedRow {
    const char* name;
    std::string text;
    std::string expected;
};
class ExtractQuotedTest : public ::testing::TestWithParam<QuotedRow> {};
TEST_P(ExtractQuotedTest, KeepsTextBetweenFirstAndLastQuote) {
    std::string text = GetParam().text;
    FlashVersionText::ExtractQuoted(text);
    EXPECT_EQ(text, GetParam().expected);
}
const QuotedRow kQuotedRows[] = {
    {"TwoQuotes", "+GTMCFWVER: \"A1.B2.18.0.5\"\r\nOK", "A1.B2.18.0.5"},
    {"InnerQuotesStay", "x\"a\"b\"c\"y", "a\"b\"c"},
    {"OneQuoteUnchanged", "v: \"1.2.3\r\nOK", "v: \"1.2.3\r\nOK"},
    {"Empty", "", ""},
};
INSTANTIATE_TEST_SUITE_P(Texts, ExtractQuotedTest, ::testing::ValuesIn(kQuotedRows), RowName<QuotedRow>);

struct JoinRow {
    const char* name;
    Segments segments;
    size_t first;
    std::string expected;
};
class JoinSegmentsTest : public ::testing::TestWithParam<JoinRow> {};
TEST_P(JoinSegmentsTest, JoinsWithFullStops) {
    EXPECT_EQ(FlashVersionText::JoinSegmentsFrom(GetParam().segments, GetParam().first), GetParam().expected);
}
const JoinRow kJoinRows[] = {
    {"FromTwo", {"A1", "B2", "18", "0", "5"}, 2, "18.0.5"},
    {"EmptySegmentKeepsItsPlace", {"A", "B", "1", "", "2"}, 2, "1..2"},
    {"ExactlyFirstSegmentsGiveEmpty", {"A", "B"}, 2, ""},
    {"NoSegments", {}, 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Joins, JoinSegmentsTest, ::testing::ValuesIn(kJoinRows), RowName<JoinRow>);

struct NvmRow {
    const char* name;
    std::string extracted;
    Segments segments;
    std::string expected;
};
class NvmVersionTest : public ::testing::TestWithParam<NvmRow> {};
TEST_P(NvmVersionTest, ReducesBySegmentCount) {
    EXPECT_EQ(FlashVersionText::NvmVersionFromSegments(GetParam().extracted, GetParam().segments), GetParam().expected);
}
const NvmRow kNvmRows[] = {
    {"SixSegments", "C1.C2.C3.7.C5.9", {"C1", "C2", "C3", "7", "C5", "9"}, "7.9"},
    {"SevenSegmentsIgnoreTheRest", "a.b.c.4.e.6.g", {"A", "B", "C", "4", "E", "6", "G"}, "4.6"},
    {"ThreeSegmentsKeepText", "1.2.3", {"1", "2", "3"}, "1.2.3"},
    {"NoSegments", "", {}, ""},
};
INSTANTIATE_TEST_SUITE_P(Replies, NvmVersionTest, ::testing::ValuesIn(kNvmRows), RowName<NvmRow>);

struct DecideRow {
    const char* name;
    std::string modem, modemNew, nvm, nvmNew;
    bool result, flashModem, flashNvm;
};
class DecideTest : public ::testing::TestWithParam<DecideRow> {};
TEST_P(DecideTest, Decides) {
    const DecideRow& row = GetParam();
    const FlashDecision decision = FlashVersionText::Decide(row.modem, row.modemNew, row.nvm, row.nvmNew);
    EXPECT_EQ(decision.Result, row.result);
    EXPECT_EQ(decision.FlashModemImage, row.flashModem);
    EXPECT_EQ(decision.FlashNVMImage, row.flashNvm);
}
const DecideRow kDecideRows[] = {
    {"BothSame", "18.0.5", "18.0.5", "7.9", "7.9", true, false, false},
    {"FirmwareDiffers", "18.0.6", "18.0.5", "7.9", "7.9", true, true, false},
    {"CaseDoesNotCount", "18.0.5R", "18.0.5r", "c.d", "C.D", true, false, false},
    {"TrailingBlankCounts", "18.0.5", "18.0.5 ", "7.9", "7.9", true, true, false},
    {"NoFirmwareVersion", "", "18.0.5", "7.9", "7.9", false, false, false},
    {"NoNvmVersion", "18.0.5", "18.0.5", "", "7.9", false, false, false},
    {"EmptyNewVersionsFlash", "18.0.5", "", "7.9", "", true, true, true},
};
INSTANTIATE_TEST_SUITE_P(Versions, DecideTest, ::testing::ValuesIn(kDecideRows), RowName<DecideRow>);

// The host reads the decision as three one-byte booleans in this order.
static_assert(sizeof(FlashDecision) == 3 && offsetof(FlashDecision, FlashModemImage) == 1 &&
                  offsetof(FlashDecision, FlashNVMImage) == 2,
              "three one-byte booleans in order");

}  // namespace
