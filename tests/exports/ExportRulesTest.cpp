// The exports' text rules, one table per rule. Replies are given upper-cased, as the exports hand
// them over.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "text/AsciiText.h"
#include "exports/rules/CarrierIdReply.h"
#include "exports/rules/CarrierSwitchReply.h"
#include "exports/rules/FlashVersionText.h"
#include "exports/rules/VersionRules.h"
#include "support/TestKit.h"

namespace {

using Strings = std::vector<std::string>;
using namespace VersionRules;
const std::optional<bool> kNoFlag;
const std::optional<int> kNoValue;

const auto Mode = [](int number) { return static_cast<CarrierSwitchMode>(number); };

TEST(CarrierSwitchCommands, EveryModesBytes) {
    // clang-format off
    struct Row { int mode, value; bool flag; std::string query, set; } const rows[] = {
        {1, INT_MIN, 1, "AT+GTLOCKCAR?\r\n", "AT+GTLOCKCAR=1,-2147483648\r\n"}, {6, 1, 1, "", ""},
        {1, 7, 0, "AT+GTLOCKCAR?\r\n", "AT+GTLOCKCAR=0\r\n"}, {2, 9, 1, "AT+GTMSELCAR?\r\n", "AT+GTMSELCAR=9\r\n"},
        {2, 9, 0, "AT+GTMSELCAR?\r\n", "AT+GTMSELCAR=0\r\n"}, {INT_MIN, 0, 0, "", ""}, {INT_MAX, 0, 1, "", ""},
        {3, 77, 0, "AT+GTASELCAR?\r\n", "AT+GTASELCAR=0\r\n"}, {3, 0, 1, "AT+GTASELCAR?\r\n", "AT+GTASELCAR=1\r\n"},
        {4, 8, 0, "AT+GTFDCAR?\r\n", "AT+GTFDCAR=8\r\n"}, {5, 123, 1, "", "AT+GTRSTRCAR\r\n"},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        EXPECT_EQ(CarrierSwitchQueryCommand(Mode(row.mode)), row.query);
        EXPECT_EQ(CarrierSwitchSetCommand(Mode(row.mode), row.value, row.flag), row.set);
        EXPECT_EQ(IsSettableCarrierSwitchMode(Mode(row.mode)), !row.set.empty());
    }
}

TEST(CarrierIdReply, FieldCutAtCommaDigitsOnly) {
    // clang-format off
    const std::pair<std::string, int> rows[] = {
        {"\r\n+GTCURCAR: 5\r\n\r\nOK\r\n", 5}, {"\r\n+GTCURCAR: 12,3\r\n\r\nOK\r\n", 12},
        {"\r\n+GTCURCAR: -3\r\n\r\nOK\r\n", 3}, {"+GTCURCAR: 1A2B3\r\nOK\r\n", 123},
        {"+GTCURCAR: 4\r\n+GTCURCAR: 9\r\nOK\r\n", 49}, {Bytes("+GTCURCAR: 1\0002\r\nOK\r\n"), 12},
        {"+GTCURCAR:" + std::string(1 << 20, '7') + "\r\nOK\r\n", INT_MAX}, {"\r\n+GTCURCAR: 5\r\nOK", 0},
        {"\r\nERROR\r\n", 0}, {"\r\n+GTCURCAR: ABC\r\n\r\nOK\r\n", 0}, {"\r\nOK\r\n+GTCURCAR: 5\r\n", 0},
    };
    // clang-format on
    for (const auto& [reply, expected] : rows) EXPECT_EQ(ParseCurrentCarrierId(reply), expected) << reply;
}

TEST(CarrierSwitchReply, OnlyTheModesOutputs) {
    // clang-format off
    struct Row { int mode; std::string reply; bool accepted; std::optional<bool> flag; std::optional<int> value; };
    const Row rows[] = {
        {1, "+GTLOCKCAR: 3,4\r\nOK", true, true, 4}, {1, "+GTLOCKCAR: ,\r\nOK", true, false, 0},
        {1, "+GTLOCKCAR: 1A,B2C0\r\nOK", true, true, 20}, {1, "+GTLOCKCAR: 1\r\nOK", false, kNoFlag, kNoValue},
        {1, "+GTLOCKCAR:" + std::string(1 << 20, ',') + "\r\nOK", true, false, 0},
        {2, "\r\n+GTMSELCAR: 65535\r\n\r\nOK\r\n", true, false, 65535}, {2, "+GTMSELCAR: \r\nOK", true, false, 0},
        {2, Bytes("+GTMSELCAR: 1\0002\r\nOK"), true, true, 12},
        {2, "+GTASELCAR: 1\r\nOK\r\n", false, kNoFlag, kNoValue},
        {3, "+GTASELCAR: 1\r\nOK\r\n", true, true, kNoValue}, {3, "+GTASELCAR: 2\r\nOK\r\n", true, false, kNoValue},
        {3, "+GTASELCAR: 1\r\nERROR\r\n", false, kNoFlag, kNoValue},
        {4, "\r\nOK\r\n+GTFDCAR: 3\r\n", false, kNoFlag, kNoValue},
        {4, "+GTFDCAR: 1\r\nOK\r\n+GTFDCAR: 2\r\nOK\r\n", true, kNoFlag, 1},
    };
    // clang-format on
    for (const Row& row : rows) {
        const CarrierSwitchReading r = ParseCarrierSwitchReply(Mode(row.mode), row.reply);
        EXPECT_EQ(std::tie(r.accepted, r.flag, r.value), std::tie(row.accepted, row.flag, row.value))
            << row.reply.substr(0, 40);
    }
}

// The fuzz target version_rules holds both kinds to their parts over any texts; these rows show
// the parts, and that upper-casing changes only a to z, on every build's runtime.
TEST(VersionRules, CompareTheRightParts) {
    const VersionKind P = VersionKind::Package, C = VersionKind::Carrier;
    // clang-format off
    struct Row { VersionKind kind; std::string current, next, currentPart, newPart; bool differ; } const rows[] = {
        {P, "a1.b2.c3.10.5r", "X.Y.Z.10.5R", "10.5R", "10.5R", false}, {P, "A1.B2", "C3.B2", "B2", "B2", false},
        {C, "a-z_{}\xE0", "A-Z_[]\xC0", "A-Z_{}\xE0", "A-Z_[]\xC0", true},
    };
    // clang-format on
    for (const Row& row : rows) {
        const VersionComparison r = CompareVersionTexts(row.kind, row.current, row.next);
        EXPECT_EQ(std::tie(r.currentPart, r.newPart, r.differ), std::tie(row.currentPart, row.newPart, row.differ))
            << row.current << " / " << row.next;
    }
    const std::string tail(1 << 20, '7');
    EXPECT_FALSE(CompareVersionTexts(P, "a.b.c." + tail, "X.Y.Z." + tail).differ);
    EXPECT_TRUE(CompareVersionTexts(P, "a.b.c." + tail, "X.Y.Z." + tail + "8").differ);
}

// Dropping leading fields is held to its rule by the fuzz target version_rules.
TEST(VersionRules, SplitReplies) {
    // clang-format off
    const std::pair<std::string, Strings> splits[] = {
        {"\r\n+VER: 1.2.3\r\n\r\nOK\r\n", {"+VER: 1", "2", "3"}}, {"a.b..c.", {"A", "B", "", "C"}},
        {"\r\n1.2\r\n3.4", {"1", "2\r\n3", "4"}}, {"1.2\r\n\r\nok\r\n3.4\r\n\r\nOK\r\n", {"1", "2"}},
        {"1.2\r\nOK\r\n", {"1", "2OK\r\n"}}, {"\r\n\r\nOK\r\n", {}},
    };
    // clang-format on
    for (const auto& [text, expected] : splits) {
        Strings segments = {"KEPT"};
        SplitVersionReply(text, segments);
        segments.erase(segments.begin());  // appended to what was there
        EXPECT_EQ(segments, expected) << text;
    }
}

TEST(FlashVersionText, ReduceRepliesAndDecide) {
    using Pair = std::pair<std::string, std::string>;
    for (auto [text, expected] :
         {Pair{"x\"a\"b\"c\"y", "a\"b\"c"}, Pair{"v: \"1.2.3\r\nOK", "v: \"1.2.3\r\nOK"}, Pair{}})
        EXPECT_EQ((FlashVersionText::ExtractQuoted(text), text), expected);
    EXPECT_EQ(FlashVersionText::JoinSegmentsFrom({"A", "B", "1", "", "2"}, 2), "1..2");
    EXPECT_EQ(FlashVersionText::JoinSegmentsFrom({"A", "B"}, 2), "");
    EXPECT_EQ(FlashVersionText::NvmVersionFromSegments("a.b.c.4.e.6.g", {"A", "B", "C", "4", "E", "6", "G"}), "4.6");
    EXPECT_EQ(FlashVersionText::NvmVersionFromSegments("", {}), "");
    // modem, modemNew, nvm, nvmNew -> Result, FlashModemImage, FlashNVMImage
    // clang-format off
    const std::pair<Strings, std::vector<bool>> decisions[] = {
        {{"18.0.5R", "18.0.5r", "c.d", "C.D"}, {1, 0, 0}}, {{"18.0.5", "18.0.5 ", "7.9", "7.9"}, {1, 1, 0}},
        {{"18.0", "18.0.5", "7.9", "7.90"}, {1, 1, 1}}, {{"", "18.0.5", "7.9", "7.9"}, {0, 0, 0}},
        {{"18.0.5", "18.0.5", "", ""}, {0, 0, 0}}, {{"18.0.5", "", "7.9", ""}, {1, 1, 1}},
    };
    // clang-format on
    for (const auto& [v, expected] : decisions) {
        const FlashDecision d = FlashVersionText::Decide(v[0], v[1], v[2], v[3]);
        EXPECT_EQ((std::vector<bool>{d.Result, d.FlashModemImage, d.FlashNVMImage}), expected) << v[0] << " " << v[2];
    }
}

}  // namespace
