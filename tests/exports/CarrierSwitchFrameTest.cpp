// The carrier switch exports on the export frame, against a fake channel: the bytes sent per
// mode, which outputs are written, the module-log lines per level, the refusal of unknown set
// modes, and that the lock and the channel are always given back.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "exports/CarrierSwitchExports.h"
#include "exports/FakeChannel.h"
#include "support/LogFiles.h"
#include "support/ToolObjects.h"
#include "support/TestFiles.h"
#include "tools/GetToolObject.h"
#include "tools/ToolIds.h"

namespace {

const char kServiceId[] = "{ffffffff-abca-4b11-a4e2-f2fc87f94488}";

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

using ModuleLog = ToolPtr<IGlobalTools::ILogEx>;
ModuleLog NewModuleLog() {
    return MakeTool<IGlobalTools::ILogEx>(ToolIds::ILogEx);
}

// The entries ModuleMessages reads back for these messages: each is written with a line feed
// after it, and the file's text mode turns every line feed into CR LF.
std::vector<std::string> OnDisk(const std::vector<std::string>& messages) {
    std::string content;
    for (const std::string& message : messages) {
        for (char c : message + "\n") {
            if (c == '\n') content += '\r';
            content += c;
        }
    }
    std::vector<std::string> entries;
    for (const LogLineText& line : TestLogFolder::ParseLines(content)) entries.push_back(line.message);
    return entries;
}

// A literal with its NUL bytes, without the terminating one.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// The single command an export sent, with the fixed arguments every command travels with.
void ExpectOneCommand(const FakeChannelScript& script, const std::string& command) {
    ASSERT_EQ(script.commands.size(), 1u);
    EXPECT_EQ(script.commands[0], command);
    EXPECT_EQ(script.serviceIds[0], std::wstring(kServiceId, kServiceId + sizeof(kServiceId) - 1));
    EXPECT_EQ(script.commandIds[0], 1u);
    EXPECT_FALSE(script.parserGiven[0]);
    EXPECT_FALSE(script.lockFreeDuringCommand[0]) << "lock held while the command runs";
}

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

// ---- OEM_GetCarrierSwitch per mode -------------------------------------------------------

struct GetRow {
    const char* name;
    int mode;
    std::string reply;
    std::string command;
    int result;
    unsigned char flagByte;
    std::int32_t value;
};
void PrintTo(const GetRow& row, std::ostream* os) {
    *os << row.name;
}

class GetCarrierSwitchModeTest : public ::testing::TestWithParam<GetRow> {};

TEST_P(GetCarrierSwitchModeTest, SendsQueryAndWritesOnlyTheModesOutputs) {
    const GetRow& row = GetParam();
    FakeEnvironment fake;
    fake.script().replies = {ReplyWith(row.reply)};
    Outputs outputs;

    EXPECT_EQ(
        GetCarrierSwitch(fake.environment(), static_cast<CarrierSwitchMode>(row.mode), &outputs.value, &outputs.flag),
        row.result);

    ExpectOneCommand(fake.script(), row.command);
    EXPECT_EQ(outputs.FlagByte(), row.flagByte);
    EXPECT_EQ(outputs.value, row.value);
    EXPECT_EQ(fake.script().releases, 1);
    EXPECT_TRUE(fake.LockIsFree());
}

const GetRow kGetRows[] = {
    {"LockOn", 1, "\r\n+GTLOCKCAR: 1,10\r\n\r\nOK\r\n", "AT+GTLOCKCAR?\r\n", 1, 1, 10},
    {"LockOff", 1, "\r\n+GTLOCKCAR: 0,5\r\n\r\nOK\r\n", "AT+GTLOCKCAR?\r\n", 1, 0, 5},
    {"LockWithoutComma", 1, "\r\n+GTLOCKCAR: 1\r\n\r\nOK\r\n", "AT+GTLOCKCAR?\r\n", 0, kUntouchedFlag, kUntouchedValue},
    {"ManualSeven", 2, "\r\n+GTMSELCAR: 7\r\n\r\nOK\r\n", "AT+GTMSELCAR?\r\n", 1, 1, 7},
    {"Manual65535", 2, "\r\n+GTMSELCAR: 65535\r\n\r\nOK\r\n", "AT+GTMSELCAR?\r\n", 1, 0, 65535},
    {"ManualBlankField", 2, "\r\n+GTMSELCAR: \r\n\r\nOK\r\n", "AT+GTMSELCAR?\r\n", 1, 0, 0},
    {"AutoOnValueUntouched", 3, "\r\n+GTASELCAR: 1\r\n\r\nOK\r\n", "AT+GTASELCAR?\r\n", 1, 1, kUntouchedValue},
    {"AutoOffLowerCase", 3, "\r\n+gtaselcar: 0\r\n\r\nok\r\n", "AT+GTASELCAR?\r\n", 1, 0, kUntouchedValue},
    {"FactoryDefaultFlagUntouched", 4, "\r\n+GTFDCAR: 3\r\n\r\nOK\r\n", "AT+GTFDCAR?\r\n", 1, kUntouchedFlag, 3},
    {"FactoryDefaultError", 4, "\r\n+GTFDCAR: 3\r\n\r\nERROR\r\n", "AT+GTFDCAR?\r\n", 0, kUntouchedFlag,
     kUntouchedValue},
    {"EmptyReply", 2, "", "AT+GTMSELCAR?\r\n", 0, kUntouchedFlag, kUntouchedValue},
    {"RestoreSendsEmptyCommand", 5, "\r\n+GTFDCAR: 3\r\n\r\nOK\r\n", "", 0, kUntouchedFlag, kUntouchedValue},
    {"ZeroSendsEmptyCommand", 0, "\r\nOK\r\n", "", 0, kUntouchedFlag, kUntouchedValue},
    {"SmallestSendsEmptyCommand", INT_MIN, "\r\nOK\r\n", "", 0, kUntouchedFlag, kUntouchedValue},
};
INSTANTIATE_TEST_SUITE_P(Modes, GetCarrierSwitchModeTest, ::testing::ValuesIn(kGetRows), RowName<GetRow>);

// ---- OEM_SetCarrierSwitch per mode -------------------------------------------------------

struct SetRow {
    const char* name;
    int mode;
    std::int32_t value;
    unsigned char flag;
    std::string reply;
    std::string command;
    int result;
};
void PrintTo(const SetRow& row, std::ostream* os) {
    *os << row.name;
}

class SetCarrierSwitchModeTest : public ::testing::TestWithParam<SetRow> {};

TEST_P(SetCarrierSwitchModeTest, SendsCommandAndJudgesOk) {
    const SetRow& row = GetParam();
    FakeEnvironment fake;
    fake.script().replies = {ReplyWith(row.reply)};

    EXPECT_EQ(SetCarrierSwitch(fake.environment(), static_cast<CarrierSwitchMode>(row.mode), row.value, row.flag),
              row.result);

    ExpectOneCommand(fake.script(), row.command);
    EXPECT_EQ(fake.script().releases, 1);
    EXPECT_TRUE(fake.LockIsFree());
}

const SetRow kSetRows[] = {
    {"LockOn", 1, 20, 1, "\r\nOK\r\n", "AT+GTLOCKCAR=1,20\r\n", 1},
    {"LockOff", 1, 20, 0, "\r\nOK\r\n", "AT+GTLOCKCAR=0\r\n", 1},
    {"LockOnLargest", 1, INT_MAX, 1, "\r\nOK\r\n", "AT+GTLOCKCAR=1,2147483647\r\n", 1},
    {"ManualOffSendsZero", 2, 9, 0, "\r\nOK\r\n", "AT+GTMSELCAR=0\r\n", 1},
    {"ManualAnyNonZeroByteIsTrue", 2, 9, 0x80, "\r\nOK\r\n", "AT+GTMSELCAR=9\r\n", 1},
    {"AutoByteTwoIsTrue", 3, 0, 2, "\r\nOK\r\n", "AT+GTASELCAR=1\r\n", 1},
    {"AutoByteFFIsTrue", 3, 0, 0xFF, "\r\nOK\r\n", "AT+GTASELCAR=1\r\n", 1},
    {"AutoOff", 3, 5, 0, "\r\nOK\r\n", "AT+GTASELCAR=0\r\n", 1},
    {"FactoryDefaultIgnoresFlag", 4, 8, 0, "\r\nOK\r\n", "AT+GTFDCAR=8\r\n", 1},
    {"FactoryDefaultNegative", 4, -1, 1, "\r\nOK\r\n", "AT+GTFDCAR=-1\r\n", 1},
    {"FactoryDefaultSmallest", 4, INT_MIN, 0, "\r\nOK\r\n", "AT+GTFDCAR=-2147483648\r\n", 1},
    {"LowerCaseOk", 4, 8, 0, "\r\nok\r\n", "AT+GTFDCAR=8\r\n", 1},
    {"OkWithoutLineEnd", 4, 8, 0, "\r\nOK", "AT+GTFDCAR=8\r\n", 0},
    {"EmptyReply", 4, 8, 0, "", "AT+GTFDCAR=8\r\n", 0},
    {"RestoreOk", 5, 123, 1, "\r\nOK\r\n", "AT+GTRSTRCAR\r\n", 1},
    {"RestoreError", 5, 0, 0, "\r\nERROR\r\n", "AT+GTRSTRCAR\r\n", 0},
};
INSTANTIATE_TEST_SUITE_P(Modes, SetCarrierSwitchModeTest, ::testing::ValuesIn(kSetRows), RowName<SetRow>);

// ---- Paths and their module-log lines, for both exports ----------------------------------

using ExportCall = int (*)(const ExportEnvironment&, Outputs&);

int GetManual(const ExportEnvironment& environment, Outputs& outputs) {
    return GetCarrierSwitch(environment, MANUAL, &outputs.value, &outputs.flag);
}
int GetRestore(const ExportEnvironment& environment, Outputs& outputs) {
    return GetCarrierSwitch(environment, RESTOREFACTORY, &outputs.value, &outputs.flag);
}
int SetLockOn(const ExportEnvironment& environment, Outputs&) {
    return SetCarrierSwitch(environment, SWITCHINGLOCK, 20, 1);
}

const char kGetNoChannel[] = "[Error]OEM_GetCarrierSwitch::GetToolObject Error.";
const char kGetCommand[] = "[Success]OEM_GetCarrierSwitch::GetToolObject AT Command AT+GTMSELCAR?\r\n.";
const char kGetExecuteFailed[] = "[Error]OEM_GetCarrierSwitch::Execute AT Command Error.";
const char kSetNoChannel[] = "[Error]OEM_SetCarrierSwitch::GetToolObject Error.";
const char kSetCommand[] = "[Success]OEM_SetCarrierSwitch::GetToolObject AT Command AT+GTLOCKCAR=1,20\r\n.";
const char kSetExecuteFailed[] = "[Error]OEM_SetCarrierSwitch::ExecuteCmd Happen Error.";

struct PathRow {
    const char* name;
    ExportCall call;
    bool noChannel;
    HRESULT openResult;
    std::vector<FakeReply> replies;
    int result;
    std::vector<std::string> level2;  // module-log messages with LOG_LV 2
    std::vector<std::string> level0;  // with LOG_LV 0
};
void PrintTo(const PathRow& row, std::ostream* os) {
    *os << row.name;
}

class CarrierSwitchPathTest : public ::testing::TestWithParam<PathRow> {};

TEST_P(CarrierSwitchPathTest, ResultLinesAndCleanup) {
    const PathRow& row = GetParam();
    for (const char* level : {"2", "0"}) {
        SCOPED_TRACE(std::string("LOG_LV ") + level);
        TestLogFolder folder(level, std::string("CarrierSwitch_") + row.name);
        ModuleLog log = NewModuleLog();
        FakeEnvironment fake(log.get());
        fake.script().noChannel = row.noChannel;
        fake.script().openResult = row.openResult;
        fake.script().replies = row.replies;
        Outputs outputs;

        EXPECT_EQ(row.call(fake.environment(), outputs), row.result);

        const FakeChannelScript& script = fake.script();
        EXPECT_EQ(script.channelsMade, row.noChannel ? 0 : 1);
        EXPECT_EQ(script.releases, script.channelsMade) << "every channel released once";
        EXPECT_TRUE(fake.LockIsFree()) << "export lock released";
        EXPECT_EQ(script.commands.size(), (row.noChannel || row.openResult != S_OK) ? 0u : 1u);
        if (row.result == 0) {
            EXPECT_EQ(outputs.FlagByte(), kUntouchedFlag);
            EXPECT_EQ(outputs.value, kUntouchedValue);
        }
        const std::vector<std::string>& expected = std::string(level) == "2" ? row.level2 : row.level0;
        if (expected.empty()) {
            EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath()));
        } else {
            EXPECT_EQ(folder.ModuleMessages(), OnDisk(expected));
        }
    }
}

const PathRow kPathRows[] = {
    {"GetNoChannel", GetManual, true, S_OK, {}, 0, {kGetNoChannel}, {kGetNoChannel}},
    {"GetOpenFails", GetManual, false, E_FAIL, {}, 0, {}, {}},
    {"GetExecuteFails",
     GetManual,
     false,
     S_OK,
     {FailedWith(E_FAIL)},
     0,
     {kGetCommand, kGetExecuteFailed},
     {kGetExecuteFailed}},
    {"GetChannelThrows", GetManual, false, S_OK, {ThrowingReply()}, 0, {kGetCommand}, {}},
    {"GetAnswered",
     GetManual,
     false,
     S_OK,
     {ReplyWith("\r\n+gtmselcar: 7\r\n\r\nok\r\n")},
     1,
     {kGetCommand, "[Success]OEM_GetCarrierSwitch::GetToolObject Response data \r\n+GTMSELCAR: 7\r\n\r\nOK\r\n."},
     {}},
    {"GetPercentInReplyStoredLiterally",
     GetManual,
     false,
     S_OK,
     {ReplyWith("%s%n")},
     0,
     {kGetCommand, "[Success]OEM_GetCarrierSwitch::GetToolObject Response data %S%N."},
     {}},
    {"GetUnknownModeLogsEmptyCommand",
     GetRestore,
     false,
     S_OK,
     {ReplyWith("\r\nOK\r\n")},
     0,
     {"[Success]OEM_GetCarrierSwitch::GetToolObject AT Command .",
      "[Success]OEM_GetCarrierSwitch::GetToolObject Response data \r\nOK\r\n."},
     {}},
    {"SetNoChannel", SetLockOn, true, S_OK, {}, 0, {kSetNoChannel}, {kSetNoChannel}},
    {"SetOpenFails", SetLockOn, false, E_FAIL, {}, 0, {}, {}},
    {"SetExecuteFails",
     SetLockOn,
     false,
     S_OK,
     {FailedWith(E_FAIL)},
     0,
     {kSetCommand, kSetExecuteFailed},
     {kSetExecuteFailed}},
    {"SetChannelThrows", SetLockOn, false, S_OK, {ThrowingReply()}, 0, {kSetCommand}, {}},
    {"SetAnsweredReplyLoggedAsReceived",
     SetLockOn,
     false,
     S_OK,
     {ReplyWith("\r\nok\r\n")},
     1,
     {kSetCommand, "[Success]OEM_SetCarrierSwitch::GetToolObject Response data \r\nok\r\n."},
     {}},
    {"SetErrorReplyIsNoErrorLine",
     SetLockOn,
     false,
     S_OK,
     {ReplyWith("\r\nERROR\r\n")},
     0,
     {kSetCommand, "[Success]OEM_SetCarrierSwitch::GetToolObject Response data \r\nERROR\r\n."},
     {}},
};
INSTANTIATE_TEST_SUITE_P(Paths, CarrierSwitchPathTest, ::testing::ValuesIn(kPathRows), RowName<PathRow>);

// ---- Set modes outside 1 to 5 are refused --------------------------------------------------

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
        EXPECT_TRUE(fake.script().commands.empty());
        EXPECT_TRUE(fake.LockIsFree());
        EXPECT_EQ(folder.ModuleMessages(), OnDisk({line}));
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, SetCarrierSwitchRefusalTest, ::testing::Values(0, 6, -1, 100, INT_MIN, INT_MAX),
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

// ---- Any reply bytes -----------------------------------------------------------------------

TEST(CarrierSwitchBadInput, AnyReplyBytesNeverCrashOrHoldTheLock) {
    TestLogFolder folder("2", "CarrierSwitchBadInput");
    ModuleLog log = NewModuleLog();
    const std::string replies[] = {
        std::string(1 << 20, 'A'),
        std::string(1 << 20, '\0'),
        Bytes("\0+GTLOCKCAR:\0 1,\0"
              "2\r\nOK\r\n\0"),
        std::string(1 << 20, '\xFF') + "+GTFDCAR: 3\r\nOK\r\n",
        "+GTMSELCAR:" + std::string(1 << 20, '9') + "\r\nOK\r\n",
    };
    for (const std::string& bytes : replies) {
        for (int mode = 0; mode <= 5; ++mode) {
            SCOPED_TRACE("mode " + std::to_string(mode) + ", reply of " + std::to_string(bytes.size()) + " bytes");
            const CarrierSwitchMode any = static_cast<CarrierSwitchMode>(mode);
            {
                FakeEnvironment fake(log.get());
                fake.script().replies = {ReplyWith(bytes)};
                Outputs outputs;
                const int result = GetCarrierSwitch(fake.environment(), any, &outputs.value, &outputs.flag);
                EXPECT_TRUE(result == 0 || result == 1);
                EXPECT_TRUE(outputs.FlagByte() == 0 || outputs.FlagByte() == 1 || outputs.FlagByte() == kUntouchedFlag);
                EXPECT_EQ(fake.script().releases, 1);
                EXPECT_TRUE(fake.LockIsFree());
            }
            {
                FakeEnvironment fake(log.get());
                fake.script().replies = {ReplyWith(bytes)};
                const int result = SetCarrierSwitch(fake.environment(), any, INT_MIN, 0xFF);
                EXPECT_TRUE(result == 0 || result == 1);
                EXPECT_EQ(fake.script().releases, mode == 0 ? 0 : 1);
                EXPECT_TRUE(fake.LockIsFree());
            }
        }
    }
}

}  // namespace
