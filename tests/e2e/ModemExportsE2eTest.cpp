// The exports that talk to the modem, in the shipped Oem.dll against the simulated modem through COM.
// Each row checks the answer, the outputs, the bytes sent, the module log at two levels, and that
// the call let go of everything; a completion late but in time finds the export lock held.
#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/HostKit.h"

namespace {

using Strings = std::vector<std::string>;
using Replies = std::vector<std::pair<std::string, std::string>>;
using Lines = Strings;  // module-log lines, each led by the level it is written at: "2[Normal] ..."

// Named before the simulator loads, so the modem state of other programs is never touched.
const bool kStateFileNamed =
    ::SetEnvironmentVariableA("OEMSIM_STATE", (TestFiles::ExecutableFolder() + "modem-state.txt").c_str()) != 0;

constexpr std::uint32_t kInTimeMs = 1000;   // within the 5000 ms reply wait
constexpr std::uint32_t kTooLateMs = 5600;  // after it

// How the modem answers a row.
struct Modem {
    SimFault fault = SimFault::None;
    std::uint32_t delayMs = 0;
    Replies replies = {};            // scripted over the profile
    std::string failedCommand = {};  // SetCommand refuses exactly this one
    const char* profile = nullptr;   // a shipped profile beside the simulator instead of the default
    bool staCaller = false;          // called from a single-threaded apartment: the channel cannot open
};
const auto Reply = [](const std::string& command, const std::string& r) { return Modem{{}, 0, {{command, r}}}; };
const auto Fault = [](SimFault fault, std::uint32_t delayMs = 0) { return Modem{fault, delayMs}; };

// The expected messages in order among the written ones, others between them allowed.
void ExpectInOrder(const Strings& messages, const Strings& expected) {
    auto at = messages.begin();
    for (const std::string& line : expected) {
        at = std::find(at, messages.end(), line);
        EXPECT_NE(at, messages.end()) << "missing [" << line << "] in\n" << ::testing::PrintToString(messages);
    }
}

class ModemExports : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kStateFileNamed && dll.loaded() && sim.loaded())
            << "simulator unregistered or no " << OemDll::Path();
    }

    // Runs call on a reset modem at LOG_LV 2, then at lowLevel unless a completion comes late,
    // and checks what every row shares; gives the last answer. A call that sends nothing without
    // a fault (a refused mode) must answer while another thread holds the export lock.
    std::string Run(const char* name, const Modem& modem, const Strings& sent, const Lines& lines,
                    const std::function<std::string()>& call) {
        SCOPED_TRACE(name);
        // Refused by SetCommand, or without an interface or a channel, a command never reaches the modem.
        const bool reaches =
            modem.fault != SimFault::NoInterface && modem.fault != SimFault::SetCommandFails && !modem.staCaller;
        const bool late = modem.fault == SimFault::LateCompletion;
        const int channels = sent.empty() || modem.staCaller ? 0 : 1;
        std::string answer;
        for (const char level : {'2', lowLevel}) {
            if (level != '2' && late) break;
            SCOPED_TRACE(std::string("LOG_LV ") + level);
            TestLogFolder log(std::string(1, level), std::string("E2e") + name + level);
            Prepare(modem);
            {
                std::optional<ExportLockHolder> holder;
                if (channels == 0 && !modem.staCaller) holder.emplace();
                auto pending = std::async(std::launch::async, [&] {
                    EXPECT_EQ(modem.staCaller ? ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) : S_OK, S_OK);
                    const std::string result = call();
                    if (modem.staCaller) ::CoUninitialize();
                    return result;
                });
                if (late && modem.delayMs < 5000) {
                    EXPECT_TRUE(WaitUntil([&] { return sim->CommandCount() != 0; }, 5000));
                    EXPECT_FALSE(ExportLockIsFree()) << "the export lock is held while the command is in flight";
                }
                EXPECT_EQ(pending.wait_for(std::chrono::seconds(30)), std::future_status::ready) << "no answer";
                answer = pending.get();
            }
            EXPECT_EQ(ReceivedCommands(sim), reaches ? sent : Strings());
            ExpectNothingHeld(sim, channels);
            Strings expected;
            for (const std::string& line : lines)
                if (line[0] <= level) expected.push_back(line.substr(1));
            expected = TestLogFolder::AsWritten(expected);
            if (level == '2') {
                ExpectInOrder(log.ModuleMessages(), expected);
            } else {
                EXPECT_EQ(log.ModuleMessages(), expected);
            }
        }
        return answer;
    }

    void Prepare(const Modem& modem) {
        sim->Reset();
        EXPECT_TRUE(!modem.profile || sim->LoadProfile((SimModem::Folder() + modem.profile).c_str()));
        for (const auto& [command, reply] : modem.replies)
            sim->SetReply(command.data(), command.size(), reply.data(), reply.size());
        const std::string& failed = modem.failedCommand;
        if (!failed.empty()) sim->SetCommandFault(failed.data(), failed.size(), SimFault::SetCommandFails);
        sim->SetFault(modem.fault);
        sim->SetCompletionDelay(modem.delayMs);
    }

    SimModem sim;
    OemDll dll;
    char lowLevel = '0';
};

const std::string kIdCommand = "AT+GTCURCAR?\r\n", kIdFailed = "0[Error]Execute AT+GTCURCAR? Error.";
const std::string kIdEnter = "2[Normal] Enter Get Current CarrierId ";
const std::string kIdOpened = "2[Success] OpenMbimChannel Success.";
const std::string kIdData = "2[Success]ExecuteCmd Success.Response Data ";
const std::string kIdData5 = kIdData + "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n";
const std::string kIdOut = "2[Normal] Out Get Current CarrierId\r\n\r\n\r\n\r\n";
const std::string kGetCommand = "2[Success]OEM_GetCarrierSwitch::GetToolObject AT Command ";
const std::string kGetData = "2[Success]OEM_GetCarrierSwitch::GetToolObject Response data ";
const std::string kSetCommand = "2[Success]OEM_SetCarrierSwitch::GetToolObject AT Command ";
const std::string kSetData = "2[Success]OEM_SetCarrierSwitch::GetToolObject Response data ";
const std::string kLock = "AT+GTLOCKCAR?\r\n", kManual = "AT+GTMSELCAR?\r\n", kAuto = "AT+GTASELCAR?\r\n";
const std::string kLockOn20 = "AT+GTLOCKCAR=1,20\r\n", kDefault8 = "AT+GTFDCAR=8\r\n";
const auto Refused = [](int m) {
    return "0[Error]OEM_SetCarrierSwitch::Mode " + std::to_string(m) + " Not Supported.";
};

// The carrier id: -1 without a reply, 0 without a carrier field. The carrier switch query: "1
// value flag" with the mode's outputs written, else "0 - -" with both left as the host set them.
// The set: 1 when the modem answers OK; a refused mode sends nothing.
TEST_F(ModemExports, CarrierIdAndSwitch) {
    const auto id = dll.Get<std::int32_t (*)()>("OEM_GetCurrentCarrierID");
    const auto get = dll.Get<int (*)(std::int32_t, std::int32_t*, bool*)>("OEM_GetCarrierSwitch");
    // The flag as a byte, so that a row can pass one that is neither 0 nor 1.
    const auto set = dll.Get<int (*)(std::int32_t, std::int32_t, unsigned char)>("OEM_SetCarrierSwitch");
    ASSERT_TRUE(id && get && set);
    using Call = std::function<std::string()>;
    const Call Id = [=] { return std::to_string(id()); };
    const auto Get = [=](std::int32_t mode) -> Call {
        return [=] {
            std::int32_t value = 0x5A5A5A5A;
            unsigned char flag = 0x7F;
            const int result = get(mode, &value, reinterpret_cast<bool*>(&flag));
            EXPECT_TRUE(flag == 0x7F || flag <= 1) << "a flag written is one boolean byte";
            return std::to_string(result) + " " + (value == 0x5A5A5A5A ? "-" : std::to_string(value)) + " " +
                   (flag == 0x7F ? "-" : std::to_string(flag));
        };
    };
    const auto Set = [=](std::int32_t mode, std::int32_t value, unsigned char flag) -> Call {
        return [=] { return std::to_string(set(mode, value, flag)); };
    };
    const Modem sta{{}, 0, {}, {}, nullptr, true};
    // The modem's factory state: carrier 5, lock off naming 5, no manual carrier, automatic on, default 3.
    // clang-format off
    struct Row { const char* name; Call call; Modem modem; Strings sent; std::string answer; Lines lines; };
    const Row rows[] = {
        {"IdFromTheModem", Id, {}, {kIdCommand}, "5", {kIdEnter, kIdOpened, kIdData5, kIdOut}},
        {"IdLowerCase", Id, Reply(kIdCommand, "\r\n+gtcurcar: 7\r\n\r\nok\r\n"), {kIdCommand}, "7",
         {kIdData + "\r\n+GTCURCAR: 7\r"}},
        {"IdPercentLoggedAsIs", Id, Reply(kIdCommand, "+GTCURCAR: %s%d\r\nOK\r\n"), {kIdCommand}, "0",
         {kIdData + "+GTCURCAR: %S%D\r"}},
        {"IdSessionFoundOpenLeftOpen", Id, Fault(SimFault::SessionAlreadyOpen), {kIdCommand}, "5",
         {kIdOpened, kIdData5}},
        {"IdSetCommandFails", Id, Fault(SimFault::SetCommandFails), {kIdCommand}, "-1",
         {kIdEnter, kIdOpened, kIdFailed, kIdOut}},
        {"IdFailStatusIsAnEmptyReply", Id, Fault(SimFault::CompletionFailStatus), {kIdCommand}, "0", {kIdData, kIdOut}},
        {"IdCompletionInTimeLockHeld", Id, Fault(SimFault::LateCompletion, kInTimeMs), {kIdCommand}, "5", {kIdData5}},
        {"IdCompletionAfterTheWait", Id, Fault(SimFault::LateCompletion, kTooLateMs), {kIdCommand}, "-1",
         {kIdFailed, kIdOut}},
        {"IdReadToTheFirstFragment", Id, Fault(SimFault::ReplyInTwoFragments), {kIdCommand}, "0",
         {kIdData + "\r\n+GTCURCAR", kIdOut}},
        {"IdSingleThreadedCaller", Id, sta, {kIdCommand}, "-1", {kIdEnter, "0[Error]OpenMbimChannel Fail.", kIdOut}},
        {"GetLockOffByDefault", Get(1), {}, {kLock}, "1 5 0",
         {kGetCommand + kLock + ".", kGetData + "\r\n+GTLOCKCAR: 0,5\r\n\r\nOK\r\n."}},
        {"GetNoManualByDefault", Get(2), {}, {kManual}, "1 0 0", {kGetCommand + kManual + "."}},
        {"GetAutoWritesOnlyTheFlag", Get(3), Reply(kAuto, "\r\n+gtaselcar: 1\r\n\r\nok\r\n"), {kAuto}, "1 - 1",
         {kGetData + "\r\n+GTASELCAR: 1\r"}},
        {"GetDefaultWritesOnlyTheValue", Get(4), {}, {"AT+GTFDCAR?\r\n"}, "1 3 -", {kGetCommand + "AT+GTFDCAR?\r\n."}},
        {"GetRestoreHasNoQuery", Get(5), {}, {""}, "0 - -", {kGetCommand + ".", kGetData + "\r\nERROR\r\n."}},
        {"GetSetCommandFails", Get(2), Fault(SimFault::SetCommandFails), {kManual}, "0 - -",
         {kGetCommand + kManual + ".", "0[Error]OEM_GetCarrierSwitch::Execute AT Command Error."}},
        {"SetLockOn", Set(1, 20, 1), {}, {kLockOn20}, "1", {kSetCommand + kLockOn20 + ".", kSetData + "\r\nOK\r\n."}},
        {"SetLockOnZeroModemSaysError", Set(1, 0, 1), {}, {"AT+GTLOCKCAR=1,0\r\n"}, "0", {kSetData + "\r\nERROR\r\n."}},
        {"SetManualAnyNonZeroFlagByte", Set(2, 9, 0x80), {}, {"AT+GTMSELCAR=9\r\n"}, "1", {}},
        {"SetAutoOff", Set(3, 7, 0), {}, {"AT+GTASELCAR=0\r\n"}, "1", {}},
        {"SetRestore", Set(5, 123, 1), {}, {"AT+GTRSTRCAR\r\n"}, "1", {kSetCommand + "AT+GTRSTRCAR\r\n."}},
        {"SetOkLoggedAsReceived", Set(4, 8, 0), Reply(kDefault8, "\r\nok\r\n"), {kDefault8}, "1",
         {kSetData + "\r\nok\r\n."}},
        {"SetModeSixRefused", Set(6, 1, 1), {}, {}, "0", {Refused(6)}},
        // A failure status carries no OK, though the modem carried the command out.
        {"SetFailStatusIsNoOk", Set(1, 20, 1), Fault(SimFault::CompletionFailStatus), {kLockOn20}, "0",
         {kSetData + "."}},
        {"SetSetCommandFails", Set(1, 20, 1), Fault(SimFault::SetCommandFails), {kLockOn20}, "0",
         {kSetCommand + kLockOn20 + ".", "0[Error]OEM_SetCarrierSwitch::ExecuteCmd Happen Error."}},
    };
    // clang-format on
    for (const Row& row : rows) EXPECT_EQ(Run(row.name, row.modem, row.sent, row.lines, row.call), row.answer);
}

const std::string kFwQuery = " AT+GTMCFWVER?\r\n", kAti8 = "ati8\r\n", kNvmQuery = "AT+GTCUSTPACKVER?\r\n";
const std::string kError = "\r\nERROR\r\n", kNvmFailed = "2[Error]ExecuteCmd GTCUSTPACKVER Error.";
const std::string kFwData = "2[Success]ExecuteCmd AT+GTMCFWVER done. Response Data is: ";
const std::string kFwFailed = "2[Error]ExecuteCmd AT+GTMCFWVER Error.";
std::string FwCompared(const std::string& modem, const std::string& next, bool old = false) {
    return old ? "2FWImage(old) comparing str_modemVersion part is:" + modem + ", str_modemVersionNew part is:" + next
               : "2FWImage comparing str_modemVersion part is:" + modem + " , str_modemVersionNew part is:" + next;
}
const auto NvmCompared = [](const std::string& modem, const std::string& next) {
    return "2CustPack comparing str_nvmVersion part is:" + modem + "  ,str_nvmVersionNew part is:" + next;
};
const auto Segments = [](int count) { return "2CustPack version contains " + std::to_string(count) + " segments"; };
const auto Nvm = [](const std::string& v) {
    return Reply(kNvmQuery, "\r\n+GTCUSTPACKVER: \"" + v + "\"\r\n\r\nOK\r\n");
};
const auto Failing = [](const std::string& command, Replies replies = {}) { return Modem{{}, 0, replies, command}; };

TEST_F(ModemExports, FlashDecision) {
    const Strings both = {kFwQuery, kNvmQuery}, ati8Path = {kFwQuery, kAti8, kNvmQuery};
    const Modem old{SimFault::None, 0, {}, "", "old-firmware-profile.txt"};
    const char fw[] = "x1.y2.18.0.5";
    // The default modem runs firmware A1.B2.18.0.5 and NVM C1.C2.C3.7.C5.9 (7.9 counts); the
    // older one R470.A1.B2.18.0.4 (from ati8, three leading fields) and 7.9.
    // clang-format off
    struct Row {  // record: Result, FlashModemImage, FlashNVMImage; the head and result lines are added
        const char* name; Modem modem; const char *firmware, *nvm; Strings sent; std::vector<unsigned char> record;
        Lines lines;
    } const rows[] = {
        {"SameFirmwareTwoFieldsDropped", {}, fw, "7.9", both, {1, 0, 0},
         {"2[Success]OpenMbimChannel Success.", kFwData + "\r\n+GTMCFWVER: \"A1.B2.18.0.5\"\r\n\r\nOK\r\n",
          FwCompared("18.0.5", "18.0.5"),
          "2[Success]ExecuteCmd GTCUSTPACKVER Success. Response Data is: "
          "\r\n+GTCUSTPACKVER: \"C1.C2.C3.7.C5.9\"\r\n\r\nOK\r\n",
          Segments(6), NvmCompared("7.9", "7.9")}},
        {"BothDiffer", {}, "A1.B2.18.0.6", "7.10", both, {1, 1, 1}, {FwCompared("18.0.5", "18.0.6")}},
        {"OlderFirmwareAsksAti8", old, "p.a1.b2.18.0.4", "7.9", ati8Path, {1, 0, 0},
         {kFwData + kError,
          "2[Success]ExecuteCmd ati8 Success. Response Data is: "
          "\r\nKestovan R470\r\nRevision: \"R470.A1.B2.18.0.4\"\r\n\r\nOK\r\n",
          FwCompared("18.0.4", "18.0.4", true), Segments(2), NvmCompared("7.9", "7.9")}},
        // Not an ERROR but no OK either: the older query all the same.
        {"NoOkAsksAti8", Reply(kFwQuery, "\r\n+GTMCFWVER: \"A1.B2.18.0.5\"\r\n"), "p.a1.b2.18.0.5", "7.9", ati8Path,
         {1, 0, 0}, {FwCompared("18.0.5", "18.0.5", true)}},
        {"OlderFirmwareDropsThree", old, "A1.B2.18.0.4", "7.9", ati8Path, {1, 1, 0},
         {FwCompared("18.0.4", "0.4", true)}},
        {"TwoFieldsAreNoVersion", Reply(kFwQuery, "+GTMCFWVER: \"A1.B2\"\r\nOK\r\n"), fw, "7.9", both, {0, 0, 0},
         {FwCompared("", "18.0.5")}},
        {"NvmOfFourComparedWhole", Nvm("A.B.C.D"), fw, "a.b.c.d", both, {1, 0, 0},
         {Segments(4), NvmCompared("A.B.C.D", "a.b.c.d")}},
        {"NvmOfFiveComparedWhole", Nvm("1.2.3.4.5"), fw, "1.2.3.4.6", both, {1, 0, 1},
         {Segments(5), NvmCompared("1.2.3.4.5", "1.2.3.4.6")}},
        {"FirmwareQueryFails", Failing(kFwQuery), fw, "7.9", {kNvmQuery}, {0, 0, 0}, {kFwFailed, Segments(6)}},
        // Without the ati8 answer the whole first reply stands for the firmware version.
        {"Ati8Fails", Failing(kAti8, {{kFwQuery, kError}}), fw, "7.9", both, {1, 1, 0},
         {kFwData + kError, "2[Error]ExecuteCmd ati8 Error.", NvmCompared("7.9", "7.9")}},
        {"NvmQueryFails", Failing(kNvmQuery), fw, "7.9", {kFwQuery}, {0, 0, 0},
         {FwCompared("18.0.5", "18.0.5"), kNvmFailed}},
        {"NoInterface", Fault(SimFault::NoInterface), fw, "7.9", both, {0, 0, 0}, {kFwFailed, kNvmFailed}},
        {"CompletionsInTimeLockHeld", Fault(SimFault::LateCompletion, kInTimeMs), fw, "7.9", both, {1, 0, 0}, {}},
    };
    // clang-format on
    // The x64 convention spelled out: the caller's record comes first and its address comes back.
    const auto flash =
        dll.Get<unsigned char* (*)(unsigned char*, const char*, const char*)>("OEM_Check_If_FlashCurrentCarrier");
    ASSERT_NE(flash, nullptr);
    lowLevel = '1';  // every line is written at level 2
    for (const Row& row : rows) {
        auto TrueFalse = [&](int i) { return std::string(row.record[i] ? "true" : "false"); };
        Lines lines = {"2[Normal] Enter OEM_Check_If_FlashCurrentCarrier Function.",
                       std::string("2[Normal] newModemFlsVersion: ") + row.firmware,
                       std::string("2[Normal] newNvmVersion: ") + row.nvm};
        lines.insert(lines.end(), row.lines.begin(), row.lines.end());
        lines.push_back("2[Normal] Result: " + TrueFalse(0) + ", FlashModemImage: " + TrueFalse(1) +
                        ", FlashNVMImage: " + TrueFalse(2));
        lines.push_back("2[Normal] Out OEM_Check_If_FlashCurrentCarrier Function\r\n\r\n\r\n\r\n");
        std::vector<unsigned char> expected = row.record;
        expected.push_back(0xAA);  // the caller's byte after the record
        const auto call = [&] {
            std::string bytes(4, '\xAA');
            EXPECT_EQ(flash(reinterpret_cast<unsigned char*>(&bytes[0]), row.firmware, row.nvm),
                      reinterpret_cast<unsigned char*>(&bytes[0]));
            return bytes;
        };
        EXPECT_EQ(Run(row.name, row.modem, row.sent, lines, call), std::string(expected.begin(), expected.end()));
    }
}

}  // namespace
