// The four exports that talk to the modem, in the shipped Oem.dll against the simulated modem
// reached through COM: one table per export, failures beside successes. Each row checks the
// answer, the outputs written or left alone, the bytes the modem received, the module log, and
// that the call let go of everything; a row whose completion comes late but in time checks the
// export lock is held while the command is in flight.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/LogFiles.h"
#include "support/OemDll.h"
#include "support/RowName.h"
#include "support/SimModem.h"
#include "support/TestKit.h"
#include "tools/win/ScopedHandle.h"

namespace {

using Strings = std::vector<std::string>;
using Replies = std::vector<std::pair<std::string, std::string>>;
using CommandFaults = std::vector<std::pair<std::string, SimFault>>;

// Module-log lines, each led by the level it is written at: "2[Normal] ...".
using Lines = Strings;

// Named before the simulator loads, so the modem state of other programs is never touched.
const std::string kStateFile = TestFiles::ExecutableFolder() + "modem-state.txt";
const bool kStateFileNamed = ::SetEnvironmentVariableA("OEMSIM_STATE", kStateFile.c_str()) != 0;

constexpr std::uint32_t kInTimeMs = 1000;    // within the 5000 ms reply wait
constexpr std::uint32_t kTooLateMs = 5600;   // after it
constexpr std::int32_t kValueSentinel = 0x5A5A5A5A;
constexpr unsigned char kFlagSentinel = 0x7F;

// How the modem answers a row.
struct Modem {
    SimFault fault = SimFault::None;
    std::uint32_t delayMs = 0;
    Replies replies = {};  // scripted over the profile
    CommandFaults commandFaults = {};
    const char* profile = nullptr;  // a shipped profile beside the simulator instead of the default
};

::testing::AssertionResult LinesInOrder(const Strings& messages, const Strings& expected) {
    std::size_t next = 0;
    for (const std::string& message : messages) {
        if (next < expected.size() && message == expected[next]) ++next;
    }
    if (next == expected.size()) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "missing [" << expected[next] << "] in the module log:\n";
    for (const std::string& message : messages) failure << "  [" << message << "]\n";
    return failure;
}

class ModemExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kStateFileNamed);
        ASSERT_TRUE(sim.loaded()) << "the simulated modem is not registered in this prefix";
        ASSERT_TRUE(dll.loaded()) << OemDll::Path();
    }

    // Runs call at LOG_LV 2, then again at lowLevel unless the row waits for a late completion,
    // each time on a reset modem. Checks what every row shares and returns the answer of the
    // last run. A refused call (no command) runs while another thread holds the export lock.
    template <typename Call>
    auto Run(const Modem& modem, const Strings& sent, const Lines& lines, Call call, int channels = 1)
        -> decltype(call()) {
        // Without an interface, or refused by SetCommand, a command never reaches the modem.
        const bool reaches = modem.fault != SimFault::NoInterface && modem.fault != SimFault::SetCommandFails;
        decltype(call()) answer{};
        for (const char level : {'2', lowLevel}) {
            if (level != '2' && modem.fault == SimFault::LateCompletion) break;
            SCOPED_TRACE(std::string("LOG_LV ") + level);
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            std::string name = std::string("E2e") + info->name() + level;
            for (char& c : name) c = c == '/' ? '_' : c;
            TestLogFolder log(std::string(1, level), name);
            Prepare(modem);
            answer = Call_(modem, channels == 0, call);
            EXPECT_EQ(sim.Commands(), reaches ? sent : Strings());
            ExpectNothingHeld(sim, channels);
            Strings expected, atLevel;
            for (const std::string& line : lines) {
                expected.push_back(line.substr(1));
                if (line[0] <= level) atLevel.push_back(line.substr(1));
            }
            if (level == '2') {
                EXPECT_TRUE(LinesInOrder(log.ModuleMessages(), TestLogFolder::AsWritten(expected)));
            } else {
                EXPECT_EQ(log.ModuleMessages(), TestLogFolder::AsWritten(atLevel));
            }
        }
        return answer;
    }

    void Prepare(const Modem& modem) {
        sim->Reset();
        if (modem.profile != nullptr) {
            EXPECT_TRUE(sim->LoadProfile((SimModem::Folder() + modem.profile).c_str())) << modem.profile;
        }
        for (const auto& reply : modem.replies) {
            sim->SetReply(reply.first.data(), reply.first.size(), reply.second.data(), reply.second.size());
        }
        for (const auto& fault : modem.commandFaults) {
            sim->SetCommandFault(fault.first.data(), fault.first.size(), fault.second);
        }
        sim->SetFault(modem.fault);
        sim->SetCompletionDelay(modem.delayMs);
    }

    template <typename Call>
    auto Call_(const Modem& modem, bool refused, Call call) -> decltype(call()) {
        std::promise<void> taken, letGo;
        std::thread holder;
        if (refused) {
            holder = std::thread([&] {
                ScopedHandle lock(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "Local\\OemLockMutexABcdef"));
                HeldMutex held(lock && ::WaitForSingleObject(lock.get(), 0) == WAIT_OBJECT_0 ? lock.get() : nullptr);
                EXPECT_TRUE(held.valid()) << "the test holds the export lock";
                taken.set_value();
                letGo.get_future().wait();
            });
            taken.get_future().wait();
        }
        auto answer = std::async(std::launch::async, call);
        if (modem.fault == SimFault::LateCompletion && modem.delayMs < 5000) {
            EXPECT_TRUE(WaitUntil([&] { return sim->CommandCount() != 0; }, 5000));
            EXPECT_FALSE(ExportLockIsFree()) << "the export lock is held while the command is in flight";
        }
        const bool answered = answer.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        EXPECT_TRUE(answered) << (refused ? "a refusal waited for the export lock" : "no answer");
        if (refused) {
            letGo.set_value();
            holder.join();
        }
        return answer.get();
    }

    SimModem sim;
    OemDll dll;
    char lowLevel = '0';
};

// ---- OEM_GetCurrentCarrierID: -1 without a reply, 0 without a carrier field ----

const char kIdCommand[] = "AT+GTCURCAR?\r\n";
const std::string kIdEnter = "2[Normal] Enter Get Current CarrierId ";
const std::string kIdOpened = "2[Success] OpenMbimChannel Success.";
const std::string kIdData = "2[Success]ExecuteCmd Success.Response Data ";
const std::string kIdFailed = "0[Error]Execute AT+GTCURCAR? Error.";
const std::string kIdOut = "2[Normal] Out Get Current CarrierId\r\n\r\n\r\n\r\n";

struct CarrierIdRow {
    const char* name;
    Modem modem;
    std::int32_t expected;
    Lines lines;
};

class CarrierIdTest : public ModemExportsTest, public ::testing::WithParamInterface<CarrierIdRow> {};

TEST_P(CarrierIdTest, AnswerBytesLogAndNothingHeld) {
    const CarrierIdRow& row = GetParam();
    const auto carrierId = dll.Get<std::int32_t (*)()>("OEM_GetCurrentCarrierID");
    ASSERT_NE(carrierId, nullptr);
    EXPECT_EQ(Run(row.modem, {kIdCommand}, row.lines, carrierId), row.expected);
}

Modem Reply(const char* command, std::string reply) {
    return Modem{SimFault::None, 0, {{command, std::move(reply)}}};
}
Modem Fault(SimFault fault, std::uint32_t delayMs = 0) {
    return Modem{fault, delayMs};
}

const CarrierIdRow kCarrierIdRows[] = {
    {"FromTheModem", {}, 5, {kIdEnter, kIdOpened, kIdData + "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n", kIdOut}},
    {"LowerCaseReplyLoggedUpperCased", Reply(kIdCommand, "\r\n+gtcurcar: 7\r\n\r\nok\r\n"), 7,
     {kIdData + "\r\n+GTCURCAR: 7\r\n\r\nOK\r\n"}},
    {"PercentInReplyLoggedLiterally", Reply(kIdCommand, "+GTCURCAR: %s%d\r\nOK\r\n"), 0,
     {kIdData + "+GTCURCAR: %S%D\r\nOK\r\n"}},
    {"ErrorReplyHasNoCarrier", Reply(kIdCommand, "\r\nERROR\r\n"), 0, {kIdData + "\r\nERROR\r\n", kIdOut}},
    {"MegabyteBeforeTheField", Reply(kIdCommand, std::string(1 << 20, 'x') + "\r\n+GTCURCAR: 9\r\n\r\nOK\r\n"), 9,
     {kIdEnter, kIdOpened, kIdOut}},
    {"SessionFoundOpenIsLeftOpen", Fault(SimFault::SessionAlreadyOpen), 5, {kIdOpened, kIdData + "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n"}},
    {"NoInterface", Fault(SimFault::NoInterface), -1, {kIdEnter, kIdOpened, kIdFailed, kIdOut}},
    {"SetCommandFails", Fault(SimFault::SetCommandFails), -1, {kIdEnter, kIdOpened, kIdFailed, kIdOut}},
    {"CompletionFailStatusIsAnEmptyReply", Fault(SimFault::CompletionFailStatus), 0, {kIdData, kIdOut}},
    {"CompletionForAnotherRequest", Fault(SimFault::CompletionWrongRequestId), -1, {kIdFailed}},
    {"CompletionInTimeLockHeld", Fault(SimFault::LateCompletion, kInTimeMs), 5, {kIdData + "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n"}},
    {"CompletionAfterTheWait", Fault(SimFault::LateCompletion, kTooLateMs), -1, {kIdFailed, kIdOut}},
};
INSTANTIATE_TEST_SUITE_P(Rows, CarrierIdTest, ::testing::ValuesIn(kCarrierIdRows), RowName<CarrierIdRow>);

// ---- OEM_GetCarrierSwitch: 1 with the mode's outputs written, else 0 with both untouched ----

using GetSwitch = int (*)(std::int32_t mode, std::int32_t* pValue, bool* pFlag);
// The flag as a byte, so that a row can pass one that is neither 0 nor 1.
using SetSwitch = int (*)(std::int32_t mode, std::int32_t value, unsigned char flag);

struct Outputs {
    int result;
    std::optional<std::int32_t> value;  // nullopt: untouched
    std::optional<bool> flag;
};
bool operator==(const Outputs& a, const Outputs& b) {
    return a.result == b.result && a.value == b.value && a.flag == b.flag;
}
std::ostream& operator<<(std::ostream& out, const Outputs& o) {
    return out << "result " << o.result << ", value " << (o.value ? std::to_string(*o.value) : "untouched")
               << ", flag " << (o.flag ? std::to_string(*o.flag) : "untouched");
}

Outputs CallGet(GetSwitch get, std::int32_t mode) {
    std::int32_t value = kValueSentinel;
    unsigned char flag = kFlagSentinel;
    const int result = get(mode, &value, reinterpret_cast<bool*>(&flag));
    EXPECT_TRUE(flag == kFlagSentinel || flag <= 1) << "a flag written is one boolean byte";
    return {result, value == kValueSentinel ? std::nullopt : std::optional<std::int32_t>(value),
            flag == kFlagSentinel ? std::nullopt : std::optional<bool>(flag != 0)};
}

const std::string kGetCommandLine = "2[Success]OEM_GetCarrierSwitch::GetToolObject AT Command ";
const std::string kGetData = "2[Success]OEM_GetCarrierSwitch::GetToolObject Response data ";
const std::string kGetFailed = "0[Error]OEM_GetCarrierSwitch::Execute AT Command Error.";
const char kLockQuery[] = "AT+GTLOCKCAR?\r\n";
const char kManualQuery[] = "AT+GTMSELCAR?\r\n";
const char kAutoQuery[] = "AT+GTASELCAR?\r\n";
const char kDefaultQuery[] = "AT+GTFDCAR?\r\n";
const std::nullopt_t kUntouched = std::nullopt;

struct GetSwitchRow {
    const char* name;
    std::int32_t mode;
    std::string command;
    Modem modem;
    Outputs outputs;
    Lines lines;
};

class GetSwitchTest : public ModemExportsTest, public ::testing::WithParamInterface<GetSwitchRow> {};

TEST_P(GetSwitchTest, OutputsBytesLogAndNothingHeld) {
    const GetSwitchRow& row = GetParam();
    const auto get = dll.Get<GetSwitch>("OEM_GetCarrierSwitch");
    ASSERT_NE(get, nullptr);
    EXPECT_EQ(Run(row.modem, {row.command}, row.lines, [&] { return CallGet(get, row.mode); }), row.outputs);
}

// The modem's factory state: lock off naming carrier 5, no manual carrier, automatic on, factory default 3.
const GetSwitchRow kGetSwitchRows[] = {
    {"LockOffByDefault", 1, kLockQuery, {}, {1, 5, false},
     {kGetCommandLine + kLockQuery + ".", kGetData + "\r\n+GTLOCKCAR: 0,5\r\n\r\nOK\r\n."}},
    {"LockOn", 1, kLockQuery, Reply(kLockQuery, "\r\n+GTLOCKCAR: 1,10\r\n\r\nOK\r\n"), {1, 10, true}, {}},
    {"LockWithoutCommaIsNoAnswer", 1, kLockQuery, Reply(kLockQuery, "\r\n+GTLOCKCAR: 1\r\n\r\nOK\r\n"),
     {0, kUntouched, kUntouched}, {kGetData + "\r\n+GTLOCKCAR: 1\r\n\r\nOK\r\n."}},
    {"NoManualByDefault", 2, kManualQuery, {}, {1, 0, false}, {kGetCommandLine + kManualQuery + "."}},
    {"AutoWritesOnlyTheFlag", 3, kAutoQuery, Reply(kAutoQuery, "\r\n+gtaselcar: 1\r\n\r\nok\r\n"),
     {1, kUntouched, true}, {kGetCommandLine + kAutoQuery + ".", kGetData + "\r\n+GTASELCAR: 1\r\n\r\nOK\r\n."}},
    {"FactoryDefaultWritesOnlyTheValue", 4, kDefaultQuery, {}, {1, 3, kUntouched},
     {kGetCommandLine + kDefaultQuery + "."}},
    {"RestoreHasNoQuery", 5, "", {}, {0, kUntouched, kUntouched}, {kGetCommandLine + ".", kGetData + "\r\nERROR\r\n."}},
    {"SetCommandFails", 2, kManualQuery, Fault(SimFault::SetCommandFails), {0, kUntouched, kUntouched},
     {kGetCommandLine + kManualQuery + ".", kGetFailed}},
    {"CompletionInTimeLockHeld", 3, kAutoQuery, Fault(SimFault::LateCompletion, kInTimeMs), {1, kUntouched, true},
     {}},
};
INSTANTIATE_TEST_SUITE_P(Rows, GetSwitchTest, ::testing::ValuesIn(kGetSwitchRows), RowName<GetSwitchRow>);

// ---- OEM_SetCarrierSwitch: 1 when the modem answers OK; the setting is seen by the next query ----

const std::string kSetCommandLine = "2[Success]OEM_SetCarrierSwitch::GetToolObject AT Command ";
const std::string kSetData = "2[Success]OEM_SetCarrierSwitch::GetToolObject Response data ";
const std::string kSetFailed = "0[Error]OEM_SetCarrierSwitch::ExecuteCmd Happen Error.";
std::string Refused(std::int32_t mode) {
    return "0[Error]OEM_SetCarrierSwitch::Mode " + std::to_string(mode) + " Not Supported.";
}

struct SetSwitchRow {
    const char* name;
    std::int32_t mode, value;
    unsigned char flag;
    std::string command;  // empty: refused, nothing sent
    Modem modem;
    int result;
    Lines lines;
    std::int32_t thenMode;  // queried afterwards without a fault
    Outputs then;
};

class SetSwitchTest : public ModemExportsTest, public ::testing::WithParamInterface<SetSwitchRow> {};

TEST_P(SetSwitchTest, BytesResultLogAndTheNextQuery) {
    const SetSwitchRow& row = GetParam();
    const auto set = dll.Get<SetSwitch>("OEM_SetCarrierSwitch");
    const auto get = dll.Get<GetSwitch>("OEM_GetCarrierSwitch");
    ASSERT_TRUE(set != nullptr && get != nullptr);
    const Strings sent = row.command.empty() ? Strings() : Strings{row.command};
    EXPECT_EQ(Run(row.modem, sent, row.lines, [&] { return set(row.mode, row.value, row.flag); }, static_cast<int>(sent.size())),
              row.result);
    sim->SetFault(SimFault::None);
    EXPECT_EQ(CallGet(get, row.thenMode), row.then);
}

const SetSwitchRow kSetSwitchRows[] = {
    {"LockOn", 1, 20, 1, "AT+GTLOCKCAR=1,20\r\n", {}, 1,
     {kSetCommandLine + "AT+GTLOCKCAR=1,20\r\n.", kSetData + "\r\nOK\r\n."}, 1, {1, 20, true}},
    {"LockOffSendsNoValue", 1, 99, 0, "AT+GTLOCKCAR=0\r\n", {}, 1, {}, 1, {1, 5, false}},
    {"LockOnCarrierZeroModemRefuses", 1, 0, 1, "AT+GTLOCKCAR=1,0\r\n", {}, 0, {kSetData + "\r\nERROR\r\n."}, 1,
     {1, 5, false}},
    {"ManualAnyNonZeroFlagByte", 2, 9, 0x80, "AT+GTMSELCAR=9\r\n", {}, 1, {}, 2, {1, 9, true}},
    {"ManualFlagOffSendsZero", 2, 9, 0, "AT+GTMSELCAR=0\r\n", {}, 1, {}, 2, {1, 0, false}},
    {"AutoOff", 3, 7, 0, "AT+GTASELCAR=0\r\n", {}, 1, {}, 3, {1, kUntouched, false}},
    {"AutoOn", 3, 0, 1, "AT+GTASELCAR=1\r\n", {}, 1, {}, 3, {1, kUntouched, true}},
    {"FactoryDefaultIgnoresFlag", 4, 8, 0, "AT+GTFDCAR=8\r\n", {}, 1, {}, 4, {1, 8, kUntouched}},
    {"RestoreIgnoresValueAndFlag", 5, 123, 1, "AT+GTRSTRCAR\r\n", {}, 1, {kSetCommandLine + "AT+GTRSTRCAR\r\n."}, 1,
     {1, 5, false}},
    {"OkLoggedAsReceived", 4, 8, 0, "AT+GTFDCAR=8\r\n", Reply("AT+GTFDCAR=8\r\n", "\r\nok\r\n"), 1,
     {kSetData + "\r\nok\r\n."}, 4, {1, 3, kUntouched}},
    {"ModeZeroRefused", 0, 1, 1, "", {}, 0, {Refused(0)}, 1, {1, 5, false}},
    {"ModeSixRefused", 6, 1, 1, "", {}, 0, {Refused(6)}, 1, {1, 5, false}},
    {"SmallestModeRefused", INT_MIN, 1, 1, "", {}, 0, {Refused(INT_MIN)}, 1, {1, 5, false}},
    // A failure status carries no OK, though the modem carried the command out.
    {"CompletionFailStatusIsNoOk", 1, 20, 1, "AT+GTLOCKCAR=1,20\r\n", Fault(SimFault::CompletionFailStatus), 0,
     {kSetCommandLine + "AT+GTLOCKCAR=1,20\r\n.", kSetData + "."}, 1, {1, 20, true}},
    {"SetCommandFails", 1, 20, 1, "AT+GTLOCKCAR=1,20\r\n", Fault(SimFault::SetCommandFails), 0, {kSetFailed}, 1,
     {1, 5, false}},
    {"CompletionInTimeLockHeld", 4, 8, 0, "AT+GTFDCAR=8\r\n", Fault(SimFault::LateCompletion, kInTimeMs), 1, {}, 4,
     {1, 8, kUntouched}},
};
INSTANTIATE_TEST_SUITE_P(Rows, SetSwitchTest, ::testing::ValuesIn(kSetSwitchRows), RowName<SetSwitchRow>);

// ---- OEM_Check_If_FlashCurrentCarrier: three bytes through the caller's record ----

// The x64 convention spelled out: the caller's record comes first and its address comes back.
using FlashThroughRecord = unsigned char* (*)(unsigned char* record, const char* firmware, const char* nvm);
using Record = std::vector<unsigned char>;  // Result, FlashModemImage, FlashNVMImage

const std::string kFirmwareQuery = " AT+GTMCFWVER?\r\n";
const std::string kAti8 = "ati8\r\n";
const std::string kNvmQuery = "AT+GTCUSTPACKVER?\r\n";
const std::string kError = "\r\nERROR\r\n";
const Strings kBoth = {kFirmwareQuery, kNvmQuery};
const Strings kAti8Path = {kFirmwareQuery, kAti8, kNvmQuery};
const char kOldFirmware[] = "old-firmware-profile.txt";
std::string FwCompared(const std::string& modem, const std::string& next) {
    return "2FWImage comparing str_modemVersion part is:" + modem + " , str_modemVersionNew part is:" + next;
}
std::string NvmCompared(const std::string& modem, const std::string& next) {
    return "2CustPack comparing str_nvmVersion part is:" + modem + "  ,str_nvmVersionNew part is:" + next;
}
std::string Segments(int count) {
    return "2CustPack version contains " + std::to_string(count) + " segments";
}
Modem NvmReply(const std::string& version) {
    return Reply(kNvmQuery.c_str(), "\r\n+GTCUSTPACKVER: \"" + version + "\"\r\n\r\nOK\r\n");
}

struct FlashRow {
    const char* name;
    Modem modem;
    const char* firmware;
    const char* nvm;
    Strings sent;
    Record record;
    Lines lines;  // the head and the result lines are checked for every row
};

class FlashDecisionTest : public ModemExportsTest, public ::testing::WithParamInterface<FlashRow> {};

TEST_P(FlashDecisionTest, RecordQueriesInOrderLogAndNothingHeld) {
    const FlashRow& row = GetParam();
    const auto flash = dll.Get<FlashThroughRecord>("OEM_Check_If_FlashCurrentCarrier");
    ASSERT_NE(flash, nullptr);
    lowLevel = '1';  // every line is written at level 2
    auto TrueFalse = [&](std::size_t i) { return std::string(row.record[i] ? "true" : "false"); };
    Lines lines = {"2[Normal] Enter OEM_Check_If_FlashCurrentCarrier Function.",
                   std::string("2[Normal] newModemFlsVersion: ") + row.firmware,
                   std::string("2[Normal] newNvmVersion: ") + row.nvm};
    lines.insert(lines.end(), row.lines.begin(), row.lines.end());
    lines.push_back("2[Normal] Result: " + TrueFalse(0) + ", FlashModemImage: " + TrueFalse(1) +
                    ", FlashNVMImage: " + TrueFalse(2));
    lines.push_back("2[Normal] Out OEM_Check_If_FlashCurrentCarrier Function\r\n\r\n\r\n\r\n");
    const Record record = Run(row.modem, row.sent, lines, [&] {
        Record bytes(4, 0xAA);
        EXPECT_EQ(flash(bytes.data(), row.firmware, row.nvm), bytes.data());
        return bytes;
    });
    Record expected = row.record;
    expected.push_back(0xAA);
    EXPECT_EQ(record, expected) << "three bytes written, the fourth is the caller's";
}

const std::string kFwData = "2[Success]ExecuteCmd AT+GTMCFWVER done. Response Data is: ";
const std::string kFwFailed = "2[Error]ExecuteCmd AT+GTMCFWVER Error.";
const std::string kNvmFailed = "2[Error]ExecuteCmd GTCUSTPACKVER Error.";
const char kFw[] = "x1.y2.18.0.5";
Modem CommandFault(const std::string& command, Replies replies = {}) {
    return Modem{SimFault::None, 0, std::move(replies), {{command, SimFault::SetCommandFails}}};
}

// The default modem runs firmware A1.B2.18.0.5 and NVM C1.C2.C3.7.C5.9 (7.9 counts); the older
// one R470.A1.B2.18.0.4 (ati8, three leading fields) and 7.9.
const FlashRow kFlashRows[] = {
    {"SameFirmwareTwoFieldsDropped", {}, kFw, "7.9", kBoth, {1, 0, 0},
     {"2[Success]OpenMbimChannel Success.", kFwData + "\r\n+GTMCFWVER: \"A1.B2.18.0.5\"\r\n\r\nOK\r\n",
      FwCompared("18.0.5", "18.0.5"),
      "2[Success]ExecuteCmd GTCUSTPACKVER Success. Response Data is: \r\n+GTCUSTPACKVER: "
      "\"C1.C2.C3.7.C5.9\"\r\n\r\nOK\r\n",
      Segments(6), NvmCompared("7.9", "7.9")}},
    {"BothDiffer", {}, "A1.B2.18.0.6", "7.10", kBoth, {1, 1, 1},
     {FwCompared("18.0.5", "18.0.6"), NvmCompared("7.9", "7.10")}},
    {"OlderFirmwareAsksAti8", Modem{SimFault::None, 0, {}, {}, kOldFirmware}, "p.a1.b2.18.0.4", "7.9", kAti8Path,
     {1, 0, 0},
     {kFwData + kError,
      "2[Success]ExecuteCmd ati8 Success. Response Data is: \r\nKestovan R470\r\nRevision: "
      "\"R470.A1.B2.18.0.4\"\r\n\r\nOK\r\n",
      "2FWImage(old) comparing str_modemVersion part is:18.0.4, str_modemVersionNew part is:18.0.4", Segments(2),
      NvmCompared("7.9", "7.9")}},
    {"OlderFirmwareDropsThreeFields", Modem{SimFault::None, 0, {}, {}, kOldFirmware}, "A1.B2.18.0.4", "7.9",
     kAti8Path, {1, 1, 0}, {"2FWImage(old) comparing str_modemVersion part is:18.0.4, str_modemVersionNew part is:0.4"}},
    {"FirmwareOfTwoFieldsIsNoVersion", Reply(kFirmwareQuery.c_str(), "\r\n+GTMCFWVER: \"A1.B2\"\r\n\r\nOK\r\n"), kFw,
     "7.9", kBoth, {0, 0, 0}, {FwCompared("", "18.0.5")}},
    {"Ati8ErrorIsNoVersion", Modem{SimFault::None, 0, {{kFirmwareQuery, kError}, {kAti8, kError}}}, "a", "7.9",
     kAti8Path, {0, 0, 0}, {"2FWImage(old) comparing str_modemVersion part is:, str_modemVersionNew part is:a"}},
    {"NvmOfFourFieldsComparedWhole", NvmReply("A.B.C.D"), kFw, "a.b.c.d", kBoth, {1, 0, 0},
     {Segments(4), NvmCompared("A.B.C.D", "a.b.c.d")}},
    {"NvmOfFiveFieldsComparedWhole", NvmReply("1.2.3.4.5"), kFw, "1.2.3.4.6", kBoth, {1, 0, 1},
     {Segments(5), NvmCompared("1.2.3.4.5", "1.2.3.4.6")}},
    {"FirmwareQueryFailsAlone", CommandFault(kFirmwareQuery), kFw, "7.9", {kNvmQuery}, {0, 0, 0},
     {kFwFailed, Segments(6), NvmCompared("7.9", "7.9")}},
    // Without the ati8 answer the whole first reply stands for the firmware version.
    {"Ati8FailsAlone", CommandFault(kAti8, {{kFirmwareQuery, kError}}), kFw, "7.9", kBoth, {1, 1, 0},
     {kFwData + kError, "2[Error]ExecuteCmd ati8 Error.", NvmCompared("7.9", "7.9")}},
    {"NvmQueryFailsAlone", CommandFault(kNvmQuery), kFw, "7.9", {kFirmwareQuery}, {0, 0, 0},
     {FwCompared("18.0.5", "18.0.5"), kNvmFailed}},
    {"NoInterface", Fault(SimFault::NoInterface), kFw, "7.9", kBoth, {0, 0, 0}, {kFwFailed, kNvmFailed}},
    {"CompletionsInTimeLockHeld", Fault(SimFault::LateCompletion, kInTimeMs), kFw, "7.9", kBoth, {1, 0, 0}, {}},
};
INSTANTIATE_TEST_SUITE_P(Rows, FlashDecisionTest, ::testing::ValuesIn(kFlashRows), RowName<FlashRow>);

}  // namespace
