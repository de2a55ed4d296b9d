// The export frame around the carrier-id query, against a fake channel: what is sent, which
// lines are logged at which level, and that the lock and the channel are always given back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "exports/CarrierIdExport.h"
#include "exports/FakeChannel.h"
#include <atomic>
#include <thread>

#include "support/LogFiles.h"
#include "support/ToolObjects.h"
#include "support/TestFiles.h"
#include "tools/GetToolObject.h"
#include "tools/ToolIds.h"

namespace {

using ::testing::ElementsAre;

const char kEntry[] = "[Normal] Enter Get Current CarrierId ";
const char kOpened[] = "[Success] OpenMbimChannel Success.";
const char kExit[] = "[Normal] Out Get Current CarrierId";

using ModuleLog = ToolPtr<IGlobalTools::ILogEx>;
ModuleLog NewModuleLog() {
    return MakeTool<IGlobalTools::ILogEx>(ToolIds::ILogEx);
}

// The exit line ends in four CR LF pairs; in text mode each lands on disk as CR CR LF.
std::vector<std::string> WithExitLine(std::vector<std::string> lines) {
    lines.push_back(std::string(kExit) + "\r");
    for (int i = 0; i < 3; ++i) lines.push_back("\r");
    lines.push_back("");
    return lines;
}

struct FrameRow {
    const char* name;
    bool noChannel;
    HRESULT openResult;
    std::vector<FakeReply> replies;
    int expected;
    std::vector<std::string> level2Lines;  // module log with LOG_LV 2, before the exit line
    std::vector<std::string> level0Lines;  // module log with LOG_LV 0
};

class CarrierIdFrameTest : public ::testing::TestWithParam<FrameRow> {};

TEST_P(CarrierIdFrameTest, ResultLinesAndCleanup) {
    const FrameRow& row = GetParam();
    for (const char* level : {"2", "0"}) {
        TestLogFolder folder(level, std::string("CarrierIdFrame_") + row.name);
        ModuleLog log = NewModuleLog();
        FakeEnvironment fake(log.get());
        fake.script().noChannel = row.noChannel;
        fake.script().openResult = row.openResult;
        fake.script().replies = row.replies;

        EXPECT_EQ(QueryCurrentCarrierId(fake.environment()), row.expected);

        const FakeChannelScript& script = fake.script();
        EXPECT_EQ(script.releases, script.channelsMade) << "every channel released once";
        EXPECT_TRUE(fake.LockIsFree()) << "export lock released";
        const bool opened = !row.noChannel && row.openResult == S_OK;
        if (opened) {
            ASSERT_EQ(script.commands.size(), 1u);
            EXPECT_EQ(script.commands[0], "AT+GTCURCAR?\r\n");
            EXPECT_EQ(script.serviceIds[0], L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}");
            EXPECT_EQ(script.commandIds[0], 1u);
            EXPECT_FALSE(script.parserGiven[0]);
            EXPECT_FALSE(script.lockFreeDuringCommand[0]) << "lock held while the command runs";
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

const FrameRow kFrameRows[] = {
    {"NoChannel", true, S_OK, {}, -1, {kEntry}, {}},
    {"OpenFails", false, E_FAIL, {}, -1, {kEntry, "[Error]OpenMbimChannel Fail."}, {"[Error]OpenMbimChannel Fail."}},
    {"ExecuteFails",
     false,
     S_OK,
     {FailedWith(E_FAIL)},
     -1,
     {kEntry, kOpened, "[Error]Execute AT+GTCURCAR? Error."},
     {"[Error]Execute AT+GTCURCAR? Error."}},
    {"Answered",
     false,
     S_OK,
     {ReplyWith("\r\n+gtcurcar: 7\r\n\r\nok\r\n")},
     7,
     {kEntry, kOpened, "[Success]ExecuteCmd Success.Response Data \r", "+GTCURCAR: 7\r", "\r", "OK\r", ""},
     {}},
    {"ErrorReplyIsNoError",
     false,
     S_OK,
     {ReplyWith("\r\nERROR\r\n")},
     0,
     {kEntry, kOpened, "[Success]ExecuteCmd Success.Response Data \r", "ERROR\r", ""},
     {}},
    {"EmptyReply",
     false,
     S_OK,
     {ReplyWith("")},
     0,
     {kEntry, kOpened, "[Success]ExecuteCmd Success.Response Data "},
     {}},
    {"PercentInReplyStoredLiterally",
     false,
     S_OK,
     {ReplyWith("+GTCURCAR: %s%d\r\nOK\r\n")},
     0,
     {kEntry, kOpened, "[Success]ExecuteCmd Success.Response Data +GTCURCAR: %S%D\r", "OK\r", ""},
     {}},
};
INSTANTIATE_TEST_SUITE_P(Paths, CarrierIdFrameTest, ::testing::ValuesIn(kFrameRows),
                         [](const ::testing::TestParamInfo<FrameRow>& info) { return std::string(info.param.name); });

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

TEST(CarrierIdFrame, AnyReplyBytesNeverCrashOrHoldTheLock) {
    const std::string replies[] = {
        std::string(1 << 20, 'A'), std::string("\0\0\0+GTCURCAR:\0 5\r\nOK\r\n\0", 25),     "+GTCURCAR:",
        "\r\nOK\r\n+GTCURCAR:",    std::string(1 << 20, '\xFF') + "+GTCURCAR: 3\r\nOK\r\n",
    };
    for (const std::string& bytes : replies) {
        FakeEnvironment fake;
        fake.script().replies = {ReplyWith(bytes)};
        const int result = QueryCurrentCarrierId(fake.environment());
        EXPECT_GE(result, 0);
        EXPECT_EQ(fake.script().releases, 1);
        EXPECT_TRUE(fake.LockIsFree());
    }
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
