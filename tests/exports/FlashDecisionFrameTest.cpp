// The flash decision against a fake channel: the decision row by row, the commands sent in
// order, and the module-log lines (all at level 2).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/FakeChannel.h"
#include "exports/FlashDecisionExport.h"
#include "support/LogFiles.h"
#include "support/TestFiles.h"

namespace {

std::string Quoted(const std::string& prefix, const std::string& version) {
    return "\r\n" + prefix + ": \"" + version + "\"\r\n\r\nOK\r\n";
}
FakeReply Fw(const std::string& version) {
    return ReplyWith(Quoted("+GTMCFWVER", version));
}
FakeReply Nvm(const std::string& version) {
    return ReplyWith(Quoted("+GTCUSTPACKVER", version));
}

struct Outcome {
    bool result, flashModem, flashNvm;
};

struct FlashRow {
    const char* name;
    FakeChannelScript setup;
    std::string newModem, newNvm;
    bool asksAti8;
    Outcome outcome;
    std::vector<std::string> linesInOrder;  // a subsequence of the module log
};
FlashRow Row(const char* name, FakeChannelScript setup, std::string newModem, std::string newNvm, bool asksAti8,
             Outcome outcome, std::vector<std::string> linesInOrder) {
    return {name, std::move(setup), std::move(newModem), std::move(newNvm), asksAti8, outcome, std::move(linesInOrder)};
}

::testing::AssertionResult LinesInOrder(const std::vector<std::string>& messages,
                                        const std::vector<std::string>& expected) {
    size_t next = 0;
    for (const std::string& message : messages) {
        if (next < expected.size() && message == expected[next]) ++next;
    }
    if (next == expected.size()) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "missing [" << expected[next] << "] in log:\n";
    for (const auto& message : messages) failure << "  [" << message << "]\n";
    return failure;
}

class FlashDecisionFrameTest : public ::testing::TestWithParam<FlashRow> {};

TEST_P(FlashDecisionFrameTest, DecidesSendsAndLogs) {
    const FlashRow& row = GetParam();
    TestLogFolder folder("2", std::string("FlashFrame_") + row.name);
    ModuleLog log = NewModuleLog();
    FakeEnvironment fake(log.get());
    fake.script() = row.setup;
    const std::string newModem = row.newModem, newNvm = row.newNvm;

    const FlashDecision decision = CheckIfFlashCurrentCarrier(fake.environment(), newModem.c_str(), newNvm.c_str());

    EXPECT_EQ(decision.Result, row.outcome.result);
    EXPECT_EQ(decision.FlashModemImage, row.outcome.flashModem);
    EXPECT_EQ(decision.FlashNVMImage, row.outcome.flashNvm);
    std::vector<std::string> sent;
    if (!row.setup.noChannel && row.setup.openResult == S_OK) sent = {" AT+GTMCFWVER?\r\n", "AT+GTCUSTPACKVER?\r\n"};
    if (row.asksAti8) sent.insert(sent.begin() + 1, "ati8\r\n");
    EXPECT_EQ(fake.script().commands, sent);
    ExpectCleanedUp(fake);

    auto TrueFalse = [](bool value) { return std::string(value ? "true" : "false"); };
    std::vector<std::string> expected = {"[Normal] Enter OEM_Check_If_FlashCurrentCarrier Function.",
                                         "[Normal] newModemFlsVersion: " + row.newModem,
                                         "[Normal] newNvmVersion: " + row.newNvm};
    expected.insert(expected.end(), row.linesInOrder.begin(), row.linesInOrder.end());
    expected.push_back("[Normal] Result: " + TrueFalse(row.outcome.result) + ", FlashModemImage: " +
                       TrueFalse(row.outcome.flashModem) + ", FlashNVMImage: " + TrueFalse(row.outcome.flashNvm));
    expected.push_back("[Normal] Out OEM_Check_If_FlashCurrentCarrier Function\r");
    EXPECT_TRUE(LinesInOrder(folder.ModuleMessages(), expected));
}

const char kFw[] = "x1.y2.18.0.5";
const char kOldFw[] = "p.a1.b2.18.0.5";
const FakeReply kError = ReplyWith("\r\nERROR\r\n");
const FakeReply kFailed = FailedWith(E_FAIL);
const FakeReply kNvm79 = Nvm("C1.C2.C3.7.C5.9");
const Outcome kNone{false, false, false};
const std::string kFwCompared = "FWImage comparing str_modemVersion part is:";

const FlashRow kFlashRows[] = {
    Row("NoChannel", NoChannel(), kFw, "7.9", false, kNone, {}),
    Row("OpenFails", OpenFails(), kFw, "7.9", false, kNone, {"[Error]OpenMbimChannel Fail."}),
    Row("FirmwareQueryFails", Answering({kFailed, kNvm79}), kFw, "7.9", false, kNone,
        {"[Success]OpenMbimChannel Success.", "[Error]ExecuteCmd AT+GTMCFWVER Error.",
         "CustPack version contains 6 segments"}),
    Row("NvmQueryFails", Answering({Fw("A1.B2.18.0.5"), kFailed}), kFw, "7.9", false, kNone,
        {kFwCompared + "18.0.5 , str_modemVersionNew part is:18.0.5", "[Error]ExecuteCmd GTCUSTPACKVER Error."}),
    Row("OkPathTooFewSegments", Answering({Fw("A1.B2"), kNvm79}), kFw, "7.9", false, kNone,
        {kFwCompared + " , str_modemVersionNew part is:18.0.5"}),
    Row("Ati8PathTooFewSegments", Answering({kError, ReplyWith(Quoted("KESTO", "Q.A1.B2")), kNvm79}), kOldFw, "7.9",
        true, kNone, {"FWImage(old) comparing str_modemVersion part is:, str_modemVersionNew part is:18.0.5"}),
    Row("NvmReducesToEmpty", Answering({Fw("A1.B2.18.0.5"), Nvm("")}), kFw, "7.9", false, kNone,
        {"CustPack version contains 0 segments",
         "CustPack comparing str_nvmVersion part is:  ,str_nvmVersionNew part is:7.9"}),
    Row("BothSame", Answering({Fw("A1.B2.18.0.5"), kNvm79}), kFw, "7.9", false, {true, false, false},
        {"[Success]OpenMbimChannel Success.", kFwCompared + "18.0.5 , str_modemVersionNew part is:18.0.5",
         "CustPack version contains 6 segments",
         "CustPack comparing str_nvmVersion part is:7.9  ,str_nvmVersionNew part is:7.9"}),
    Row("FirmwareDiffersOnAti8Path",
        Answering({kError, ReplyWith("\r\nKestovan R470\r\n\"Q.A1.B2.18.0.6\"\r\n\r\nOK\r\n"), kNvm79}), kOldFw, "7.9",
        true, {true, true, false},
        {"FWImage(old) comparing str_modemVersion part is:18.0.6, str_modemVersionNew part is:18.0.5"}),
    Row("NvmDiffers", Answering({Fw("A1.B2.18.0.5"), kNvm79}), kFw, "7.10", false, {true, false, true}, {}),
    Row("Ati8FailsWholeFirstReplyCompared", Answering({ReplyWith("18.0.5"), kFailed, kNvm79}), "18.0.5", "7.9", true,
        {true, false, false},
        {"[Success]ExecuteCmd AT+GTMCFWVER done. Response Data is: 18.0.5", "[Error]ExecuteCmd ati8 Error."}),
    Row("Ati8FailsFirstReplyDiffers", Answering({kError, kFailed, kNvm79}), "18.0.5", "7.9", true, {true, true, false},
        {"[Error]ExecuteCmd ati8 Error."}),
    Row("EmptyFirstReplyAsksAti8", Answering({ReplyWith(""), ReplyWith(Quoted("KESTO", "Q.A1.B2.18.0.5")), kNvm79}),
        kOldFw, "7.9", true, {true, false, false}, {}),
    Row("SingleQuoteSplitsWholeReply", Answering({ReplyWith("+GTMCFWVER: \"A1.B2.18.0.5\r\n\r\nOK\r\n"), kNvm79}), kFw,
        "7.9", false, {true, false, false}, {kFwCompared + "18.0.5 , str_modemVersionNew part is:18.0.5"}),
};
INSTANTIATE_TEST_SUITE_P(DecisionTable, FlashDecisionFrameTest, ::testing::ValuesIn(kFlashRows), RowName<FlashRow>);

TEST(FlashDecisionFrame, EveryLineIsLevelTwoSoLevelOneWritesNothing) {
    TestLogFolder folder("1", "FlashFrameLevelOne");
    ModuleLog log = NewModuleLog();
    FakeEnvironment fake(log.get());
    fake.script().openResult = E_FAIL;
    CheckIfFlashCurrentCarrier(fake.environment(), "a", "b");
    EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath()));
}

TEST(FlashDecisionFrame, AnyReplyBytesNeverCrashOrHoldTheLock) {
    const std::string replies[] = {std::string(1 << 20, '.'), std::string("\0\"\0.\0\"\0", 7), "\"",
                                   std::string(1 << 20, '"')};
    for (const std::string& firmware : replies) {
        for (const std::string& nvm : replies) {
            FakeEnvironment fake;
            fake.script().replies = {ReplyWith(firmware), ReplyWith(firmware), ReplyWith(nvm)};
            CheckIfFlashCurrentCarrier(fake.environment(), "1.2.3", "4.5.6");
            ExpectCleanedUp(fake);
        }
    }
    FakeEnvironment fake;
    fake.script().replies = {ThrowingReply()};
    const FlashDecision decision = CheckIfFlashCurrentCarrier(fake.environment(), "a", "b");
    EXPECT_FALSE(decision.Result || decision.FlashModemImage || decision.FlashNVMImage) << "a throwing channel";
    ExpectCleanedUp(fake);
}

}  // namespace
