// The version-text rules: comparing both kinds, dropping leading fields, splitting replies into segments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/rules/VersionRules.h"
#include "support/RowName.h"

namespace {

using VersionRules::VersionKind;

struct CompareRow {
    const char* name;
    VersionKind kind;
    std::string current;
    std::string next;
    std::string currentPart;
    std::string newPart;
    bool differ;
};

class CompareVersionTextsTest : public ::testing::TestWithParam<CompareRow> {};

TEST_P(CompareVersionTextsTest, ComparesTheRightParts) {
    const CompareRow& row = GetParam();
    const std::string current = row.current, next = row.next;
    const VersionRules::VersionComparison result = VersionRules::CompareVersionTexts(row.kind, current, next);
    EXPECT_EQ(result.currentPart, row.currentPart);
    EXPECT_EQ(result.newPart, row.newPart);
    EXPECT_EQ(result.differ, row.differ);
    EXPECT_EQ(current + next, row.current + row.next) << "the caller's text is not changed";
}

const CompareRow kCompareRows[] = {
    {"PackageLastFieldDiffers", VersionKind::Package, "A1.B2.C3.10.4", "A1.B2.C3.10.5", "10.4", "10.5", true},
    {"PackageCaseDoesNotCount", VersionKind::Package, "a1.b2.c3.10.5r", "A1.B2.C3.10.5R", "10.5R", "10.5R", false},
    {"PackageLeadingZerosCount", VersionKind::Package, "A1.B2.C3.010", "A1.B2.C3.10", "010", "10", true},
    {"PackageFewerThanThreeStopsKeepsAfterLast", VersionKind::Package, "A1.B2", "C3.B2", "B2", "B2", false},
    {"CarrierCaseDoesNotCount", VersionKind::Carrier, "CarrierX.02", "CARRIERX.02", "CARRIERX.02", "CARRIERX.02",
     false},
    {"CarrierDropsNoField", VersionKind::Carrier, "A1.B2.C3.10", "X9.B2.C3.10", "A1.B2.C3.10", "X9.B2.C3.10", true},
    {"CarrierEmptyNew", VersionKind::Carrier, "X.1", "", "X.1", "", true},
    {"PackageTrailingBlankDiffers", VersionKind::Package, "A1.B2.C3.10.5 ", "A1.B2.C3.10.5", "10.5 ", "10.5", true},
    {"PackageLeadingBlankOfKeptFieldDiffers", VersionKind::Package, "A.B.C. 10", "A.B.C.10", " 10", "10", true},
    {"PackageOnlyFullStopsDiffer", VersionKind::Package, "...", "....", "", ".", true},
    {"PackageCaseOfDroppedFieldsIgnored", VersionKind::Package, "abc.def.ghi.j", "x.y.z.J", "J", "J", false},
    {"CarrierOnlyAsciiLettersFolded", VersionKind::Carrier, "a-z_{}", "A-Z_[]", "A-Z_{}", "A-Z_[]", true},
};

INSTANTIATE_TEST_SUITE_P(Versions, CompareVersionTextsTest, ::testing::ValuesIn(kCompareRows), RowName<CompareRow>);

struct SameVersionRow {
    const char* name;
    std::string a;
    std::string b;
    bool same;
};

class SameVersionTest : public ::testing::TestWithParam<SameVersionRow> {};

TEST_P(SameVersionTest, SameLengthAndBytesAfterUpperCasing) {
    const SameVersionRow& row = GetParam();
    EXPECT_EQ(VersionRules::SameVersion(row.a, row.b), row.same);
    EXPECT_EQ(VersionRules::SameVersion(row.b, row.a), row.same) << "equality is symmetric";
}

const SameVersionRow kSameVersionRows[] = {
    {"AsciiCase", "ab.Cd", "AB.cD", true},
    {"Prefix", "18.0", "18.0.5", false},
    {"TrailingBlank", "1.0", "1.0 ", false},
    {"EmbeddedNulCaseFolded", std::string("1\0a", 3), std::string("1\0A", 3), true},
    {"HighByteNotFolded", "\xE0", "\xC0", false},
};

INSTANTIATE_TEST_SUITE_P(Pairs, SameVersionTest, ::testing::ValuesIn(kSameVersionRows), RowName<SameVersionRow>);

struct DropRow {
    const char* name;
    std::string text;
    int passes;
    std::string expected;
};

class DropLeadingFieldsTest : public ::testing::TestWithParam<DropRow> {};

TEST_P(DropLeadingFieldsTest, DropsAtMostPassesFields) {
    const DropRow& row = GetParam();
    std::string text = row.text;
    VersionRules::DropLeadingFields(text, row.passes);
    EXPECT_EQ(text, row.expected);
}

const DropRow kDropRows[] = {
    {"FiveFieldsKeepTwo", "A.B.C.D.E", 3, "D.E"}, {"OneStopKeepsLastField", "A.B", 3, "B"},
    {"NoStopUnchanged", "ABC", 3, "ABC"},         {"EmptyFieldCounts", "A..B.C", 3, "C"},
    {"TrailingStopLeavesEmpty", "A.B.C.", 3, ""}, {"OnlyStops", "....", 3, "."},
    {"BlanksKept", " a . b . c . d ", 3, " d "},  {"ManyPassesFewStops", "A.B", 1000000, "B"},
};

INSTANTIATE_TEST_SUITE_P(Texts, DropLeadingFieldsTest, ::testing::ValuesIn(kDropRows), RowName<DropRow>);

struct SplitRow {
    const char* name;
    std::string text;
    std::vector<std::string> segments;
};

class SplitVersionReplyTest : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitVersionReplyTest, AppendsTheSegments) {
    const SplitRow& row = GetParam();
    const std::string text = row.text;
    std::vector<std::string> segments;
    VersionRules::SplitVersionReply(text, segments);
    EXPECT_EQ(segments, row.segments);
    EXPECT_EQ(text, row.text) << "the split works on its own copy";
}

const SplitRow kSplitRows[] = {
    {"FramedReply", "\r\n+VER: 1.2.3\r\n\r\nOK\r\n", {"+VER: 1", "2", "3"}},
    {"EmptySegmentInside", "a.b..c.", {"A", "B", "", "C"}},
    {"OnlySecondLineBreakStays", "\r\n1.2\r\n3.4", {"1", "2\r\n3", "4"}},
    {"LowerCaseOkTrailerFound", "\r\nv1.2\r\n\r\nok\r\n", {"V1", "2"}},
    {"CutAtFirstTrailer", "1.2\r\n\r\nOK\r\n3.4\r\n\r\nOK\r\n", {"1", "2"}},
    {"TrailerWithoutLeadingBreakNotCut", "1.2\r\nOK\r\n", {"1", "2OK\r\n"}},
    {"OnlyTrailer", "\r\n\r\nOK\r\n", {}},
    {"QuotesKept", "\"A1.B2\"", {"\"A1", "B2\""}},
};

INSTANTIATE_TEST_SUITE_P(Replies, SplitVersionReplyTest, ::testing::ValuesIn(kSplitRows), RowName<SplitRow>);

TEST(SplitVersionReply, AppendsWithoutClearing) {
    std::vector<std::string> segments = {"KEPT"};
    VersionRules::SplitVersionReply("a.b", segments);
    VersionRules::SplitVersionReply("c", segments);
    EXPECT_EQ(segments, (std::vector<std::string>{"KEPT", "A", "B", "C"}));
}

TEST(VersionRulesLongText, MegabyteVersionsCompareAndSplit) {
    const std::string tail(1 << 20, '7'), current = "a.b.c." + tail;
    std::string next = "X.Y.Z." + tail;
    EXPECT_FALSE(VersionRules::CompareVersionTexts(VersionKind::Package, current, next).differ);
    next.back() = '8';
    EXPECT_TRUE(VersionRules::CompareVersionTexts(VersionKind::Package, current, next).differ) << "last byte counts";
    std::string manyFields;
    for (int i = 0; i < (1 << 20) / 4; ++i) manyFields += "a1b.";
    std::vector<std::string> segments;
    VersionRules::SplitVersionReply(manyFields, segments);
    ASSERT_EQ(segments.size(), static_cast<size_t>((1 << 20) / 4));
    EXPECT_EQ(segments.back(), "A1B");
}

}  // namespace
