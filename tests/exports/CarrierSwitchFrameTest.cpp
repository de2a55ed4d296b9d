// The carrier switch exports against a fake channel: bytes per mode, outputs written, module-log
// lines per level, refused set modes, and the lock and channel always given back.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "exports/CarrierSwitchExports.h"
#include "exports/FakeChannel.h"
#include "support/LogFiles.h"
#include "support/TestFiles.h"

namespace {

// What the host left in the outputs; a written output differs from it.
constexpr std::int32_t kUntouchedValue = 0x5A5A5A5A;
constexpr unsigned char kUntouchedFlag = 0xA5;

struct Outputs {
    std::int32_t value = kUntouchedValue;
    bool flag;
    Outputs() { std::memset(&flag, kUntouchedFlag, sizeof(flag)); }
    unsigned char FlagByte() const {
        unsigned char byte;
        std::memcpy(&byte, &flag, sizeof(byte));
        return byte;
    }
};

// The entries ModuleMessages reads back: each message ends in a line feed that text mode writes as CR LF.
std::vector<std::string> OnDisk(const std::vector<std::string>& messages) {
    std::string content;
    for (const std::string& message : messages) {
        for (char c : message + "\n") content += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    std::vector<std::string> entries;
    for (const LogLineText& line : TestLogFolder::ParseLines(content)) entries.push_back(line.message);
    return entries;
}

// One call of either export: Get writes the outputs, Set sends value and flag (any non-zero byte is true).
// Every mode's bytes are tabled in CarrierSwitchReplyTest; these rows show the export passes them on.
struct ModeRow {
    const char* name;
    bool set;
    int mode;
    std::int32_t value;
    unsigned char flag;
    std::string reply, command;
    int result;
    unsigned char flagByte = kUntouchedFlag;  // Get: the outputs afterwards
    std::int32_t outValue = kUntouchedValue;
};

class CarrierSwitchModeTest : public ::testing::TestWithParam<ModeRow> {};

TEST_P(CarrierSwitchModeTest, SendsTheModesBytesAndJudgesTheReply) {
    const ModeRow& row = GetParam();
    FakeEnvironment fake;
    fake.script().replies = {ReplyWith(row.reply)};
    const auto mode = static_cast<CarrierSwitchMode>(row.mode);
    Outputs out;
    EXPECT_EQ(row.set ? SetCarrierSwitch(fake.environment(), mode, row.value, row.flag)
                      : GetCarrierSwitch(fake.environment(), mode, &out.value, &out.flag),
              row.result);
    ExpectOneAtCommand(fake.script(), row.command);
    EXPECT_EQ(out.FlagByte(), row.flagByte);
    EXPECT_EQ(out.value, row.outValue);
    ExpectCleanedUp(fake);
}

const std::string kOk = "\r\nOK\r\n";
const ModeRow kModeRows[] = {
    {"GetLockOn", false, 1, 0, 0, "\r\n+GTLOCKCAR: 1,10\r\n" + kOk, "AT+GTLOCKCAR?\r\n", 1, 1, 10},
    {"GetLockWithoutComma", false, 1, 0, 0, "\r\n+GTLOCKCAR: 1\r\n" + kOk, "AT+GTLOCKCAR?\r\n", 0},
    {"GetAutoLowerCaseValueUntouched", false, 3, 0, 0, "\r\n+gtaselcar: 1\r\n\r\nok\r\n", "AT+GTASELCAR?\r\n", 1, 1},
    {"GetFactoryDefaultFlagUntouched", false, 4, 0, 0, "\r\n+GTFDCAR: 3\r\n" + kOk, "AT+GTFDCAR?\r\n", 1,
     kUntouchedFlag, 3},
    {"GetRestoreSendsEmptyCommand", false, 5, 0, 0, "\r\n+GTFDCAR: 3\r\n" + kOk, "", 0},
    {"SetLockOn", true, 1, 20, 1, kOk, "AT+GTLOCKCAR=1,20\r\n", 1},
    {"SetManualByte80IsTrue", true, 2, 9, 0x80, kOk, "AT+GTMSELCAR=9\r\n", 1},
    {"SetOkWithoutLineEnd", true, 4, 8, 0, "\r\nOK", "AT+GTFDCAR=8\r\n", 0},
    {"SetRestoreError", true, 5, 0, 0, "\r\nERROR\r\n", "AT+GTRSTRCAR\r\n", 0},
};
INSTANTIATE_TEST_SUITE_P(Modes, CarrierSwitchModeTest, ::testing::ValuesIn(kModeRows), RowName<ModeRow>);

// ---- Paths and their module-log lines at levels 2 and 0 ----------------------------------

using ExportCall = int (*)(const ExportEnvironment&, Outputs&);
int GetManual(const ExportEnvironment& environment, Outputs& out) {
    return GetCarrierSwitch(environment, MANUAL, &out.value, &out.flag);
}
int GetRestore(const ExportEnvironment& environment, Outputs& out) {
    return GetCarrierSwitch(environment, RESTOREFACTORY, &out.value, &out.flag);
}
int SetLockOn(const ExportEnvironment& environment, Outputs&) {
    return SetCarrierSwitch(environment, SWITCHINGLOCK, 20, 1);
}

const char kGetNoChannel[] = "[Error]OEM_GetCarrierSwitch::GetToolObject Error.";
const char kGetCommand[] = "[Success]OEM_GetCarrierSwitch::GetToolObject AT Command AT+GTMSELCAR?\r\n.";
const char kGetFailed[] = "[Error]OEM_GetCarrierSwitch::Execute AT Command Error.";
const std::string kGetData = "[Success]OEM_GetCarrierSwitch::GetToolObject Response data ";
const char kSetNoChannel[] = "[Error]OEM_SetCarrierSwitch::GetToolObject Error.";
const char kSetCommand[] = "[Success]OEM_SetCarrierSwitch::GetToolObject AT Command AT+GTLOCKCAR=1,20\r\n.";
const char kSetFailed[] = "[Error]OEM_SetCarrierSwitch::ExecuteCmd Happen Error.";
const std::string kSetData = "[Success]OEM_SetCarrierSwitch::GetToolObject Response data ";

struct PathRow {
    const char* name;
    ExportCall call;
    FakeChannelScript setup;
    int result;
    std::vector<std::string> level2, level0;  // module-log messages at LOG_LV 2 and 0
};

class CarrierSwitchPathTest : public ::testing::TestWithParam<PathRow> {};

TEST_P(CarrierSwitchPathTest, ResultLinesAndCleanup) {
    const PathRow& row = GetParam();
    AtLevelsTwoAndZero(std::string("CarrierSwitch_") + row.name, [&](FakeEnvironment& fake, TestLogFolder& folder,
                                                                     const std::string& level) {
        fake.script() = row.setup;
        Outputs out;
        EXPECT_EQ(row.call(fake.environment(), out), row.result);
        EXPECT_EQ(fake.script().channelsMade, row.setup.noChannel ? 0 : 1);
        ExpectCleanedUp(fake);
        EXPECT_EQ(fake.script().commands.size(), (row.setup.noChannel || row.setup.openResult != S_OK) ? 0u : 1u);
        if (row.result == 0) {
            EXPECT_EQ(std::make_pair(out.FlagByte(), out.value), std::make_pair(kUntouchedFlag, kUntouchedValue));
        }
        const std::vector<std::string>& expected = level == "2" ? row.level2 : row.level0;
        if (expected.empty()) {
            EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath()));
        } else {
            EXPECT_EQ(folder.ModuleMessages(), OnDisk(expected));
        }
    });
}

const std::string kGetEmpty = "[Success]OEM_GetCarrierSwitch::GetToolObject AT Command .";
const PathRow kPathRows[] = {
    {"GetNoChannel", GetManual, NoChannel(), 0, {kGetNoChannel}, {kGetNoChannel}},
    {"GetOpenFails", GetManual, OpenFails(), 0, {}, {}},
    {"GetExecuteFails", GetManual, Answering({FailedWith(E_FAIL)}), 0, {kGetCommand, kGetFailed}, {kGetFailed}},
    {"GetChannelThrows", GetManual, Answering({ThrowingReply()}), 0, {kGetCommand}, {}},
    {"GetAnswered",
     GetManual,
     Answer("\r\n+gtmselcar: 7\r\n\r\nok\r\n"),
     1,
     {kGetCommand, kGetData + "\r\n+GTMSELCAR: 7\r\n\r\nOK\r\n."},
     {}},
    {"GetUnknownModeLogsEmptyCommand", GetRestore, Answer(kOk), 0, {kGetEmpty, kGetData + kOk + "."}, {}},
    {"SetNoChannel", SetLockOn, NoChannel(), 0, {kSetNoChannel}, {kSetNoChannel}},
    {"SetOpenFails", SetLockOn, OpenFails(), 0, {}, {}},
    {"SetExecuteFails", SetLockOn, Answering({FailedWith(E_FAIL)}), 0, {kSetCommand, kSetFailed}, {kSetFailed}},
    {"SetChannelThrows", SetLockOn, Answering({ThrowingReply()}), 0, {kSetCommand}, {}},
    {"SetReplyLoggedAsReceived", SetLockOn, Answer("\r\nok\r\n"), 1, {kSetCommand, kSetData + "\r\nok\r\n."}, {}},
};
INSTANTIATE_TEST_SUITE_P(Paths, CarrierSwitchPathTest, ::testing::ValuesIn(kPathRows), RowName<PathRow>);

// Set modes outside 1 to 5 are refused with one error line, before any channel and without
// waiting for the export lock another caller holds.
TEST(SetCarrierSwitchRefusal, NothingSentOneErrorLineNoWaitForTheLock) {
    for (const int mode : {0, 6, INT_MIN}) {
        SCOPED_TRACE(mode);
        TestLogFolder folder("0", "CarrierSwitchRefusal");
        ModuleLog log = NewModuleLog();
        FakeEnvironment fake(log.get());
        ::WaitForSingleObject(fake.environment().exportLock, INFINITE);
        std::atomic<int> result{-1};
        std::thread caller([&] { result = SetCarrierSwitch(fake.environment(), CarrierSwitchMode(mode), 1, 1); });
        for (int i = 0; i < 500 && result.load() == -1; ++i) ::Sleep(10);
        EXPECT_EQ(result.load(), 0) << "refused without waiting for the lock";
        ::ReleaseMutex(fake.environment().exportLock);
        caller.join();
        EXPECT_EQ(fake.script().channelsMade, 0);
        EXPECT_EQ(folder.ModuleMessages(),
                  OnDisk({"[Error]OEM_SetCarrierSwitch::Mode " + std::to_string(mode) + " Not Supported."}));
    }
}

}  // namespace
