// The carrier switch exports against a fake channel: bytes per mode, outputs written, module-log
// lines per level, refused set modes, and the lock and channel always given back.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
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

struct GetRow {
    const char* name;
    int mode;
    std::string reply, command;
    int result;
    unsigned char flagByte;
    std::int32_t value;
};

class GetCarrierSwitchModeTest : public ::testing::TestWithParam<GetRow> {};

TEST_P(GetCarrierSwitchModeTest, SendsQueryAndWritesOnlyTheModesOutputs) {
    const GetRow& row = GetParam();
    FakeEnvironment fake;
    fake.script().replies = {ReplyWith(row.reply)};
    Outputs out;
    EXPECT_EQ(GetCarrierSwitch(fake.environment(), static_cast<CarrierSwitchMode>(row.mode), &out.value, &out.flag),
              row.result);
    ExpectOneAtCommand(fake.script(), row.command);
    EXPECT_EQ(out.FlagByte(), row.flagByte);
    EXPECT_EQ(out.value, row.value);
    EXPECT_EQ(fake.script().releases, 1);
    EXPECT_TRUE(fake.LockIsFree());
}

const GetRow kGetRows[] = {
    {"LockOn", 1, "\r\n+GTLOCKCAR: 1,10\r\n\r\nOK\r\n", "AT+GTLOCKCAR?\r\n", 1, 1, 10},
    {"LockWithoutComma", 1, "\r\n+GTLOCKCAR: 1\r\n\r\nOK\r\n", "AT+GTLOCKCAR?\r\n", 0, kUntouchedFlag, kUntouchedValue},
    {"ManualSeven", 2, "\r\n+GTMSELCAR: 7\r\n\r\nOK\r\n", "AT+GTMSELCAR?\r\n", 1, 1, 7},
    {"Manual65535", 2, "\r\n+GTMSELCAR: 65535\r\n\r\nOK\r\n", "AT+GTMSELCAR?\r\n", 1, 0, 65535},
    {"AutoOnValueUntouched", 3, "\r\n+GTASELCAR: 1\r\n\r\nOK\r\n", "AT+GTASELCAR?\r\n", 1, 1, kUntouchedValue},
    {"AutoOffLowerCase", 3, "\r\n+gtaselcar: 0\r\n\r\nok\r\n", "AT+GTASELCAR?\r\n", 1, 0, kUntouchedValue},
    {"FactoryDefaultFlagUntouched", 4, "\r\n+GTFDCAR: 3\r\n\r\nOK\r\n", "AT+GTFDCAR?\r\n", 1, kUntouchedFlag, 3},
    {"FactoryDefaultError", 4, "\r\n+GTFDCAR: 3\r\n\r\nERROR\r\n", "AT+GTFDCAR?\r\n", 0, kUntouchedFlag,
     kUntouchedValue},
    {"RestoreSendsEmptyCommand", 5, "\r\n+GTFDCAR: 3\r\n\r\nOK\r\n", "", 0, kUntouchedFlag, kUntouchedValue},
    {"SmallestSendsEmptyCommand", INT_MIN, "\r\nOK\r\n", "", 0, kUntouchedFlag, kUntouchedValue},
};
INSTANTIATE_TEST_SUITE_P(Modes, GetCarrierSwitchModeTest, ::testing::ValuesIn(kGetRows), RowName<GetRow>);

struct SetRow {
    const char* name;
    int mode;
    std::int32_t value;
    unsigned char flag;
    std::string reply, command;
    int result;
};

class SetCarrierSwitchModeTest : public ::testing::TestWithParam<SetRow> {};

TEST_P(SetCarrierSwitchModeTest, SendsCommandAndJudgesOk) {
    const SetRow& row = GetParam();
    FakeEnvironment fake;
    fake.script().replies = {ReplyWith(row.reply)};
    EXPECT_EQ(SetCarrierSwitch(fake.environment(), static_cast<CarrierSwitchMode>(row.mode), row.value, row.flag),
              row.result);
    ExpectOneAtCommand(fake.script(), row.command);
    EXPECT_EQ(fake.script().releases, 1);
    EXPECT_TRUE(fake.LockIsFree());
}

// The flag arrives as a byte: any non-zero byte means true.
const SetRow kSetRows[] = {
    {"LockOn", 1, 20, 1, "\r\nOK\r\n", "AT+GTLOCKCAR=1,20\r\n", 1},
    {"LockOff", 1, 20, 0, "\r\nOK\r\n", "AT+GTLOCKCAR=0\r\n", 1},
    {"ManualOffSendsZero", 2, 9, 0, "\r\nOK\r\n", "AT+GTMSELCAR=0\r\n", 1},
    {"ManualByte80IsTrue", 2, 9, 0x80, "\r\nOK\r\n", "AT+GTMSELCAR=9\r\n", 1},
    {"AutoByteFFIsTrue", 3, 0, 0xFF, "\r\nOK\r\n", "AT+GTASELCAR=1\r\n", 1},
    {"FactoryDefaultSmallest", 4, INT_MIN, 0, "\r\nOK\r\n", "AT+GTFDCAR=-2147483648\r\n", 1},
    {"LowerCaseOk", 4, 8, 0, "\r\nok\r\n", "AT+GTFDCAR=8\r\n", 1},
    {"OkWithoutLineEnd", 4, 8, 0, "\r\nOK", "AT+GTFDCAR=8\r\n", 0},
    {"RestoreOk", 5, 123, 1, "\r\nOK\r\n", "AT+GTRSTRCAR\r\n", 1},
    {"RestoreError", 5, 0, 0, "\r\nERROR\r\n", "AT+GTRSTRCAR\r\n", 0},
};
INSTANTIATE_TEST_SUITE_P(Modes, SetCarrierSwitchModeTest, ::testing::ValuesIn(kSetRows), RowName<SetRow>);

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
    for (const char* level : {"2", "0"}) {
        SCOPED_TRACE(std::string("LOG_LV ") + level);
        TestLogFolder folder(level, std::string("CarrierSwitch_") + row.name);
        ModuleLog log = NewModuleLog();
        FakeEnvironment fake(log.get());
        fake.script() = row.setup;
        Outputs out;

        EXPECT_EQ(row.call(fake.environment(), out), row.result);

        const FakeChannelScript& script = fake.script();
        EXPECT_EQ(script.channelsMade, row.setup.noChannel ? 0 : 1);
        EXPECT_EQ(script.releases, script.channelsMade) << "every channel released once";
        EXPECT_TRUE(fake.LockIsFree()) << "export lock released";
        EXPECT_EQ(script.commands.size(), (row.setup.noChannel || row.setup.openResult != S_OK) ? 0u : 1u);
        if (row.result == 0) {
            EXPECT_EQ(out.FlagByte(), kUntouchedFlag);
            EXPECT_EQ(out.value, kUntouchedValue);
        }
        const std::vector<std::string>& expected = std::string(level) == "2" ? row.level2 : row.level0;
        if (expected.empty()) {
            EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath()));
        } else {
            EXPECT_EQ(folder.ModuleMessages(), OnDisk(expected));
        }
    }
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
    {"GetPercentStoredLiterally", GetManual, Answer("%s%n"), 0, {kGetCommand, kGetData + "%S%N."}, {}},
    {"GetUnknownModeLogsEmptyCommand", GetRestore, Answer("\r\nOK\r\n"), 0, {kGetEmpty, kGetData + "\r\nOK\r\n."}, {}},
    {"SetNoChannel", SetLockOn, NoChannel(), 0, {kSetNoChannel}, {kSetNoChannel}},
    {"SetOpenFails", SetLockOn, OpenFails(), 0, {}, {}},
    {"SetExecuteFails", SetLockOn, Answering({FailedWith(E_FAIL)}), 0, {kSetCommand, kSetFailed}, {kSetFailed}},
    {"SetChannelThrows", SetLockOn, Answering({ThrowingReply()}), 0, {kSetCommand}, {}},
    {"SetReplyLoggedAsReceived", SetLockOn, Answer("\r\nok\r\n"), 1, {kSetCommand, kSetData + "\r\nok\r\n."}, {}},
    {"SetErrorReplyIsNoErrorLine",
     SetLockOn,
     Answer("\r\nERROR\r\n"),
     0,
     {kSetCommand, kSetData + "\r\nERROR\r\n."},
     {}},
};
INSTANTIATE_TEST_SUITE_P(Paths, CarrierSwitchPathTest, ::testing::ValuesIn(kPathRows), RowName<PathRow>);

// ---- Set modes outside 1 to 5 are refused before the lock and any channel ------------------

class SetCarrierSwitchRefusalTest : public ::testing::TestWithParam<int> {};

TEST_P(SetCarrierSwitchRefusalTest, NothingSentOneErrorLineAtLevelZero) {
    const int mode = GetParam();
    const std::string line = "[Error]OEM_SetCarrierSwitch::Mode " + std::to_string(mode) + " Not Supported.";
    for (const char* level : {"2", "0"}) {
        SCOPED_TRACE(std::string("LOG_LV ") + level);
        TestLogFolder folder(level, "CarrierSwitchRefusal");
        ModuleLog log = NewModuleLog();
        FakeEnvironment fake(log.get());
        fake.script().replies = {ReplyWith("\r\nOK\r\n")};
        EXPECT_EQ(SetCarrierSwitch(fake.environment(), static_cast<CarrierSwitchMode>(mode), 1, 1), 0);
        EXPECT_EQ(fake.script().channelsMade, 0);
        EXPECT_TRUE(fake.LockIsFree());
        EXPECT_EQ(folder.ModuleMessages(), OnDisk({line}));
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, SetCarrierSwitchRefusalTest, ::testing::Values(0, 6, -1, INT_MIN, INT_MAX),
                         [](const ::testing::TestParamInfo<int>& info) { return "Mode" + std::to_string(info.index); });

TEST(SetCarrierSwitchRefusal, DoesNotWaitForTheExportLock) {
    FakeEnvironment fake;
    ::WaitForSingleObject(fake.environment().exportLock, INFINITE);
    std::atomic<int> result{-1};
    std::thread caller([&] { result = SetCarrierSwitch(fake.environment(), static_cast<CarrierSwitchMode>(6), 0, 0); });
    for (int i = 0; i < 500 && result.load() == -1; ++i) ::Sleep(10);
    EXPECT_EQ(result.load(), 0) << "the refusal waited for the lock another caller held";
    ::ReleaseMutex(fake.environment().exportLock);
    caller.join();
}

}  // namespace
