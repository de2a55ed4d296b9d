// The carrier-id export against a fake channel: what is sent, the lines logged per level, and
// the lock and the channel always given back.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "exports/CarrierIdExport.h"
#include "exports/FakeChannel.h"
#include "support/LogFiles.h"
#include "support/TestFiles.h"

namespace {

const char kEntry[] = "[Normal] Enter Get Current CarrierId ";
const char kOpened[] = "[Success] OpenMbimChannel Success.";
const char kOpenFail[] = "[Error]OpenMbimChannel Fail.";
const char kExecuteFail[] = "[Error]Execute AT+GTCURCAR? Error.";
const char kData[] = "[Success]ExecuteCmd Success.Response Data ";

// The exit line ends in four CR LF pairs; in text mode each lands on disk as CR CR LF.
std::vector<std::string> WithExitLine(std::vector<std::string> lines) {
    lines.insert(lines.end(), {"[Normal] Out Get Current CarrierId\r", "\r", "\r", "\r", ""});
    return lines;
}

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
    for (const char* level : {"2", "0"}) {
        SCOPED_TRACE(std::string("LOG_LV ") + level);
        TestLogFolder folder(level, std::string("CarrierIdFrame_") + row.name);
        ModuleLog log = NewModuleLog();
        FakeEnvironment fake(log.get());
        fake.script() = row.setup;

        EXPECT_EQ(QueryCurrentCarrierId(fake.environment()), row.expected);

        const FakeChannelScript& script = fake.script();
        EXPECT_EQ(script.releases, script.channelsMade) << "every channel released once";
        EXPECT_TRUE(fake.LockIsFree()) << "export lock released";
        if (!row.setup.noChannel && row.setup.openResult == S_OK) {
            ExpectOneAtCommand(script, "AT+GTCURCAR?\r\n");
        } else {
            EXPECT_TRUE(script.commands.empty());
        }
        if (std::string(level) == "2") {
            EXPECT_EQ(folder.ModuleMessages(), WithExitLine(row.level2Lines));
        } else if (row.level0Lines.empty()) {
            EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath()));
        } else {
            EXPECT_EQ(folder.ModuleMessages(), row.level0Lines);
        }
    }
}

const std::string kDataCr = std::string(kData) + "\r";
const FrameRow kFrameRows[] = {
    {"NoChannel", NoChannel(), -1, {kEntry}, {}},
    {"OpenFails", OpenFails(), -1, {kEntry, kOpenFail}, {kOpenFail}},
    {"ExecuteFails", Answering({FailedWith(E_FAIL)}), -1, {kEntry, kOpened, kExecuteFail}, {kExecuteFail}},
    {"Answered",
     Answer("\r\n+gtcurcar: 7\r\n\r\nok\r\n"),
     7,
     {kEntry, kOpened, kDataCr, "+GTCURCAR: 7\r", "\r", "OK\r", ""},
     {}},
    {"ErrorReplyIsNoError", Answer("\r\nERROR\r\n"), 0, {kEntry, kOpened, kDataCr, "ERROR\r", ""}, {}},
    {"EmptyReply", Answer(""), 0, {kEntry, kOpened, kData}, {}},
    {"PercentInReplyStoredLiterally",
     Answer("+GTCURCAR: %s%d\r\nOK\r\n"),
     0,
     {kEntry, kOpened, std::string(kData) + "+GTCURCAR: %S%D\r", "OK\r", ""},
     {}},
};
INSTANTIATE_TEST_SUITE_P(Paths, CarrierIdFrameTest, ::testing::ValuesIn(kFrameRows), RowName<FrameRow>);

TEST(CarrierIdFrame, ChannelThatThrowsStillReleasesLockAndChannel) {
    FakeEnvironment fake;
    fake.script().replies = {ThrowingReply()};
    EXPECT_EQ(QueryCurrentCarrierId(fake.environment()), -1);
    EXPECT_EQ(fake.script().releases, 1);
    EXPECT_TRUE(fake.LockIsFree());
}

TEST(CarrierIdFrame, WithoutModuleLogOrLockStillAnswers) {
    FakeEnvironment fake(nullptr, false);
    fake.script().replies = {ReplyWith("+GTCURCAR: 12,3\r\nOK\r\n")};
    EXPECT_EQ(QueryCurrentCarrierId(fake.environment()), 12);
    EXPECT_EQ(fake.script().releases, 1);
}

TEST(CarrierIdFrame, CallersAreSerialisedByTheExportLock) {
    FakeEnvironment fake;
    fake.script().replies = {ReplyWith("+GTCURCAR: 1\r\nOK\r\n")};
    ::WaitForSingleObject(fake.environment().exportLock, INFINITE);
    std::atomic<int> result{-2};
    std::thread caller([&] { result = QueryCurrentCarrierId(fake.environment()); });
    ::Sleep(200);
    EXPECT_EQ(result.load(), -2) << "export ran while another holder kept the lock";
    ::ReleaseMutex(fake.environment().exportLock);
    caller.join();
    EXPECT_EQ(result.load(), 1);
}

}  // namespace
