// The carrier-id export against a fake channel: what is sent, the lines logged per level, and
// the lock and the channel always given back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/CarrierIdExport.h"
#include "exports/FakeChannel.h"
#include "support/TestFiles.h"

namespace {

const char kEntry[] = "[Normal] Enter Get Current CarrierId ";
const char kOpened[] = "[Success] OpenMbimChannel Success.";
const char kOpenFail[] = "[Error]OpenMbimChannel Fail.";
const char kExecuteFail[] = "[Error]Execute AT+GTCURCAR? Error.";
const std::string kData = "[Success]ExecuteCmd Success.Response Data ";

struct FrameRow {
    const char* name;
    FakeChannelScript setup;
    int expected;
    std::vector<std::string> level2Lines;  // module log at LOG_LV 2, before the exit line
    std::vector<std::string> level0Lines;  // module log at LOG_LV 0
};

class CarrierIdFrameTest : public ::testing::TestWithParam<FrameRow> {};

TEST_P(CarrierIdFrameTest, ResultLinesAndCleanup) {
    const FrameRow& row = GetParam();
    AtLevelsTwoAndZero(std::string("CarrierIdFrame_") + row.name, [&](FakeEnvironment& fake, TestLogFolder& folder,
                                                                      const std::string& level) {
        fake.script() = row.setup;
        EXPECT_EQ(QueryCurrentCarrierId(fake.environment()), row.expected);
        ExpectCleanedUp(fake);
        if (!row.setup.noChannel && row.setup.openResult == S_OK) {
            ExpectOneAtCommand(fake.script(), "AT+GTCURCAR?\r\n");
        } else {
            EXPECT_TRUE(fake.script().commands.empty());
        }
        // The exit line ends in four CR LF pairs; in text mode each lands on disk as CR CR LF.
        std::vector<std::string> lines = level == "2" ? row.level2Lines : row.level0Lines;
        if (level == "2") lines.insert(lines.end(), {"[Normal] Out Get Current CarrierId\r", "\r", "\r", "\r", ""});
        if (lines.empty()) {
            EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath()));
        } else {
            EXPECT_EQ(folder.ModuleMessages(), lines);
        }
    });
}

const FrameRow kFrameRows[] = {
    {"NoChannel", NoChannel(), -1, {kEntry}, {}},
    {"OpenFails", OpenFails(), -1, {kEntry, kOpenFail}, {kOpenFail}},
    {"ExecuteFails", Answering({FailedWith(E_FAIL)}), -1, {kEntry, kOpened, kExecuteFail}, {kExecuteFail}},
    {"Answered",
     Answer("\r\n+gtcurcar: 7\r\n\r\nok\r\n"),
     7,
     {kEntry, kOpened, kData + "\r", "+GTCURCAR: 7\r", "\r", "OK\r", ""},
     {}},
    {"EmptyReply", Answer(""), 0, {kEntry, kOpened, kData}, {}},
    {"PercentInReplyStoredLiterally",
     Answer("+GTCURCAR: %s%d\r\nOK\r\n"),
     0,
     {kEntry, kOpened, kData + "+GTCURCAR: %S%D\r", "OK\r", ""},
     {}},
};
INSTANTIATE_TEST_SUITE_P(Paths, CarrierIdFrameTest, ::testing::ValuesIn(kFrameRows), RowName<FrameRow>);

TEST(CarrierIdFrame, ThrowingChannelGivesEverythingBackAndNoLogOrLockIsNeeded) {
    FakeEnvironment fake;
    fake.script().replies = {ThrowingReply()};
    EXPECT_EQ(QueryCurrentCarrierId(fake.environment()), -1);
    EXPECT_EQ(fake.script().releases, 1);
    ExpectCleanedUp(fake);
    FakeEnvironment bare(nullptr, false);
    bare.script().replies = {ReplyWith("+GTCURCAR: 12,3\r\nOK\r\n")};
    EXPECT_EQ(QueryCurrentCarrierId(bare.environment()), 12);
    EXPECT_EQ(bare.script().releases, 1);
}

}  // namespace
