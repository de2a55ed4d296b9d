// The flash decision against a recording fake channel: the decision table row by row, the
// commands sent in order, and the module-log lines (all at level 2).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/FakeChannel.h"
#include "exports/FlashDecisionExport.h"
#include "support/LogFiles.h"
#include "support/ToolObjects.h"
#include "support/TestFiles.h"
#include "tools/GetToolObject.h"
#include "tools/ToolIds.h"

namespace {

const char kFirmwareQuery[] = " AT+GTMCFWVER?\r\n";
const char kOldFirmwareQuery[] = "ati8\r\n";
const char kNvmQuery[] = "AT+GTCUSTPACKVER?\r\n";

std::string Quoted(const std::string& prefix, const std::string& version, bool ok = true) {
    return "\r\n" + prefix + ": \"" + version + "\"\r\n" + (ok ? "\r\nOK\r\n" : "");
}

struct FlashRow {
    const char* name;
    bool noChannel;
    HRESULT openResult;
    std::vector<FakeReply> replies;
    std::string newModem, newNvm;
    std::vector<std::string> commandsSent;
    bool result, flashModem, flashNvm;
    std::vector<std::string> linesInOrder;  // a subsequence of the module log
};

class FlashDecisionFrameTest : public ::testing::TestWithParam<FlashRow> {};

bool ContainsInOrder(const std::vector<std::string>& messages, const std::vector<std::string>& expected) {
    size_t next = 0;
    for (const std::string& message : messages) {
        if (next < expected.size() && message == expected[next]) ++next;
    }
    return next == expected.size();
}

::testing::AssertionResult LinesInOrder(const std::vector<std::string>& messages,
                                        const std::vector<std::string>& expected) {
    if (ContainsInOrder(messages, expected)) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "log:\n";
    for (const auto& message : messages) failure << "  [" << message << "]\n";
    return failure;
}

using ModuleLog = ToolPtr<IGlobalTools::ILogEx>;
ModuleLog NewModuleLog() {
    return MakeTool<IGlobalTools::ILogEx>(ToolIds::ILogEx);
}

TEST_P(FlashDecisionFrameTest, DecidesSendsAndLogs) {
    const FlashRow& row = GetParam();
    TestLogFolder folder("2", std::string("FlashFrame_") + row.name);
    ModuleLog log = NewModuleLog();
    FakeEnvironment fake(log.get());
    fake.script().noChannel = row.noChannel;
    fake.script().openResult = row.openResult;
    fake.script().replies = row.replies;
    const std::string newModem = row.newModem, newNvm = row.newNvm;

    const FlashDecision decision = CheckIfFlashCurrentCarrier(fake.environment(), newModem.c_str(), newNvm.c_str());

    EXPECT_EQ(decision.Result, row.result);
    EXPECT_EQ(decision.FlashModemImage, row.flashModem);
    EXPECT_EQ(decision.FlashNVMImage, row.flashNvm);
    EXPECT_EQ(fake.script().commands, row.commandsSent);
    EXPECT_EQ(fake.script().releases, fake.script().channelsMade);
    EXPECT_TRUE(fake.LockIsFree());
    EXPECT_EQ(newModem, row.newModem) << "caller's text unchanged";

    const auto messages = folder.ModuleMessages();
    std::vector<std::string> expected = {"[Normal] Enter OEM_Check_If_FlashCurrentCarrier Function.",
                                         "[Normal] newModemFlsVersion: " + row.newModem,
                                         "[Normal] newNvmVersion: " + row.newNvm};
    expected.insert(expected.end(), row.linesInOrder.begin(), row.linesInOrder.end());
    auto TrueFalse = [](bool value) { return std::string(value ? "true" : "false"); };
    expected.push_back("[Normal] Result: " + TrueFalse(row.result) + ", FlashModemImage: " + TrueFalse(row.flashModem) +
                       ", FlashNVMImage: " + TrueFalse(row.flashNvm));
    expected.push_back("[Normal] Out OEM_Check_If_FlashCurrentCarrier Function\r");
    EXPECT_TRUE(LinesInOrder(messages, expected));
}

const std::vector<std::string> kAllThree = {kFirmwareQuery, kNvmQuery};
const std::vector<std::string> kWithAti8 = {kFirmwareQuery, kOldFirmwareQuery, kNvmQuery};

const FlashRow kFlashRows[] = {
    {"NoChannel", true, S_OK, {}, "x1.y2.18.0.5", "7.9", {}, false, false, false, {}},
    {"OpenFails", false, E_FAIL, {}, "x1.y2.18.0.5", "7.9", {}, false, false, false, {"[Error]OpenMbimChannel Fail."}},
    {"FirmwareQueryFails",
     false,
     S_OK,
     {FailedWith(E_FAIL), ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "x1.y2.18.0.5",
     "7.9",
     kAllThree,
     false,
     false,
     false,
     {"[Success]OpenMbimChannel Success.", "[Error]ExecuteCmd AT+GTMCFWVER Error.",
      "CustPack version contains 6 segments"}},
    {"NvmQueryFails",
     false,
     S_OK,
     {ReplyWith(Quoted("+GTMCFWVER", "A1.B2.18.0.5")), FailedWith(E_FAIL)},
     "x1.y2.18.0.5",
     "7.9",
     kAllThree,
     false,
     false,
     false,
     {"FWImage comparing str_modemVersion part is:18.0.5 , str_modemVersionNew part is:18.0.5",
      "[Error]ExecuteCmd GTCUSTPACKVER Error."}},
    {"OkPathTooFewSegments",
     false,
     S_OK,
     {ReplyWith(Quoted("+GTMCFWVER", "A1.B2")), ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "x1.y2.18.0.5",
     "7.9",
     kAllThree,
     false,
     false,
     false,
     {"FWImage comparing str_modemVersion part is: , str_modemVersionNew part is:18.0.5"}},
    {"Ati8PathTooFewSegments",
     false,
     S_OK,
     {ReplyWith("\r\nERROR\r\n"), ReplyWith(Quoted("KESTO", "Q.A1.B2")),
      ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "p.a1.b2.18.0.5",
     "7.9",
     kWithAti8,
     false,
     false,
     false,
     {"FWImage(old) comparing str_modemVersion part is:, str_modemVersionNew part is:18.0.5"}},
    {"NvmReducesToEmpty",
     false,
     S_OK,
     {ReplyWith(Quoted("+GTMCFWVER", "A1.B2.18.0.5")), ReplyWith("\r\n+GTCUSTPACKVER: \"\"\r\n\r\nOK\r\n")},
     "x1.y2.18.0.5",
     "7.9",
     kAllThree,
     false,
     false,
     false,
     {"CustPack version contains 0 segments",
      "CustPack comparing str_nvmVersion part is:  ,str_nvmVersionNew part is:7.9"}},
    {"BothSame",
     false,
     S_OK,
     {ReplyWith(Quoted("+GTMCFWVER", "A1.B2.18.0.5")), ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "x1.y2.18.0.5",
     "7.9",
     kAllThree,
     true,
     false,
     false,
     {"[Success]OpenMbimChannel Success.",
      "FWImage comparing str_modemVersion part is:18.0.5 , str_modemVersionNew part is:18.0.5",
      "CustPack version contains 6 segments",
      "CustPack comparing str_nvmVersion part is:7.9  ,str_nvmVersionNew part is:7.9"}},
    {"FirmwareDiffersOnAti8Path",
     false,
     S_OK,
     {ReplyWith("\r\nERROR\r\n"), ReplyWith("\r\nKestovan R470\r\n\"Q.A1.B2.18.0.6\"\r\n\r\nOK\r\n"),
      ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "p.a1.b2.18.0.5",
     "7.9",
     kWithAti8,
     true,
     true,
     false,
     {"FWImage(old) comparing str_modemVersion part is:18.0.6, str_modemVersionNew part is:18.0.5"}},
    {"NvmDiffers",
     false,
     S_OK,
     {ReplyWith(Quoted("+GTMCFWVER", "A1.B2.18.0.5")), ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "x1.y2.18.0.5",
     "7.10",
     kAllThree,
     true,
     false,
     true,
     {}},
    {"BothDiffer",
     false,
     S_OK,
     {ReplyWith(Quoted("+GTMCFWVER", "A1.B2.18.0.4")), ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.8"))},
     "x1.y2.18.0.5",
     "7.9",
     kAllThree,
     true,
     true,
     true,
     {}},
    {"ThreeNvmSegmentsKeepText",
     false,
     S_OK,
     {ReplyWith(Quoted("+GTMCFWVER", "A1.B2.18.0.5")), ReplyWith(Quoted("+GTCUSTPACKVER", "1.2.3"))},
     "x1.y2.18.0.5",
     "1.2.3",
     kAllThree,
     true,
     false,
     false,
     {"CustPack version contains 3 segments",
      "CustPack comparing str_nvmVersion part is:1.2.3  ,str_nvmVersionNew part is:1.2.3"}},
    {"FiveNvmSegmentsKeepText",
     false,
     S_OK,
     {ReplyWith(Quoted("+GTMCFWVER", "A1.B2.18.0.5")), ReplyWith(Quoted("+GTCUSTPACKVER", "a.b.c.d.e"))},
     "x1.y2.18.0.5",
     "A.B.C.D.E",
     kAllThree,
     true,
     false,
     false,
     {"CustPack version contains 5 segments"}},
    {"Ati8FailsWholeFirstReplyCompared",
     false,
     S_OK,
     {ReplyWith("18.0.5"), FailedWith(E_FAIL), ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "18.0.5",
     "7.9",
     kWithAti8,
     true,
     false,
     false,
     {"[Success]ExecuteCmd AT+GTMCFWVER done. Response Data is: 18.0.5", "[Error]ExecuteCmd ati8 Error."}},
    {"Ati8FailsFirstReplyDiffers",
     false,
     S_OK,
     {ReplyWith("\r\nERROR\r\n"), FailedWith(E_FAIL), ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "18.0.5",
     "7.9",
     kWithAti8,
     true,
     true,
     false,
     {"[Error]ExecuteCmd ati8 Error."}},
    {"EmptyFirstReplyAsksAti8",
     false,
     S_OK,
     {ReplyWith(""), ReplyWith(Quoted("KESTO", "Q.A1.B2.18.0.5")),
      ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "p.a1.b2.18.0.5",
     "7.9",
     kWithAti8,
     true,
     false,
     false,
     {}},
    {"OkInsideVersionCountsAsOk",
     false,
     S_OK,
     {ReplyWith("\"A1.B2.OK.0.5\""), ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "x.y.ok.0.5",
     "7.9",
     kAllThree,
     true,
     false,
     false,
     {"FWImage comparing str_modemVersion part is:OK.0.5 , str_modemVersionNew part is:ok.0.5"}},
    {"SingleQuoteSplitsWholeReply",
     false,
     S_OK,
     {ReplyWith("+GTMCFWVER: \"A1.B2.18.0.5\r\n\r\nOK\r\n"), ReplyWith(Quoted("+GTCUSTPACKVER", "C1.C2.C3.7.C5.9"))},
     "x1.y2.18.0.5",
     "7.9",
     kAllThree,
     true,
     false,
     false,
     {"FWImage comparing str_modemVersion part is:18.0.5 , str_modemVersionNew part is:18.0.5"}},
};
INSTANTIATE_TEST_SUITE_P(DecisionTable, FlashDecisionFrameTest, ::testing::ValuesIn(kFlashRows),
                         [](const ::testing::TestParamInfo<FlashRow>& info) { return std::string(info.param.name); });

TEST(FlashDecisionFrame, EveryLineIsLevelTwoSoLevelZeroWritesNothing) {
    TestLogFolder folder("1", "FlashFrameLevelOne");
    ModuleLog log = NewModuleLog();
    FakeEnvironment fake(log.get());
    fake.script().openResult = E_FAIL;
    CheckIfFlashCurrentCarrier(fake.environment(), "a", "b");
    EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath()));
}

TEST(FlashDecisionFrame, ChannelThatThrowsGivesAllFalseAndFreesEverything) {
    FakeEnvironment fake;
    fake.script().replies = {ThrowingReply()};
    const FlashDecision decision = CheckIfFlashCurrentCarrier(fake.environment(), "a", "b");
    EXPECT_FALSE(decision.Result || decision.FlashModemImage || decision.FlashNVMImage);
    EXPECT_EQ(fake.script().releases, 1);
    EXPECT_TRUE(fake.LockIsFree());
}

TEST(FlashDecisionFrame, AnyReplyBytesNeverCrash) {
    const std::string replies[] = {
        std::string(1 << 20, '.'), std::string("\0\"\0.\0\"\0", 7), "\"", "\"\"\"", std::string(1 << 20, '"'),
        "\r\n\r\nOK\r\n"};
    for (const std::string& firmware : replies) {
        for (const std::string& nvm : replies) {
            FakeEnvironment fake;
            fake.script().replies = {ReplyWith(firmware), ReplyWith(firmware), ReplyWith(nvm)};
            CheckIfFlashCurrentCarrier(fake.environment(), "1.2.3", "4.5.6");
            EXPECT_EQ(fake.script().releases, 1);
            EXPECT_TRUE(fake.LockIsFree());
        }
    }
}

}  // namespace
