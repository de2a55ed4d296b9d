// The AT-over-MBIM channel against the simulated modem COM loads under the real class ids; short waits
// except through the factory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "support/LogFiles.h"
#include "support/SimModem.h"
#include "support/ToolObjects.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolIds.h"
#include "tools/mbim/CMbimDeviceEx.h"

namespace {

using ::testing::Contains;
using ::testing::StartsWith;

const wchar_t kAtService[] = L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}";
const MbimWaits kShortWaits{2000, 1500, 4000};
const std::string kCommand = "AT+GTCURCAR?\r\n";
const std::string kReply = "\r\n+GTCURCAR: 3,\"Carrier\"\r\n\r\nOK\r\n";
const std::string kUntouched = "caller's text";

using Channel = ToolPtr<IGlobalTools::IMbimChannel>;

Channel NewChannel(const MbimWaits& waits = kShortWaits) {
    return Channel(new CMbimDeviceEx(waits));
}

Channel FactoryChannel() {
    Channel channel = MakeTool<IGlobalTools::IMbimChannel>(ToolIds::IMbimChannel);
    EXPECT_NE(channel, nullptr);
    return channel;
}

HRESULT Execute(IGlobalTools::IMbimChannel* channel, const std::string& command, std::string* reply,
                IGlobalTools::IAtParser* parser = nullptr) {
    return channel->ExecuteCmd(command.data(), static_cast<std::uint32_t>(command.size()), reply, parser, kAtService,
                               1);
}

template <typename Predicate>
bool WaitFor(Predicate done, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= end) return false;
        ::Sleep(10);
    }
    return true;
}

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.loaded()) << "the simulated modem is not registered in this prefix";
        sim->Reset();
        sim->SetReply(kCommand.data(), kCommand.size(), kReply.data(), kReply.size());
    }

    // Every COM reference the channel took is given back by its Release.
    void ExpectNothingHeld() {
        EXPECT_TRUE(sim.WaitIdle(10000));
        EXPECT_EQ(sim->AdvisedSinks(), 0);
        EXPECT_EQ(sim->Unadvises(), sim->Advises()) << "every sink disconnected by the channel itself";
        EXPECT_TRUE(WaitFor([&] { return sim->LiveObjects() == 0; }, 2000)) << sim->LiveObjects();
    }

    TestLogFolder log{"2", CurrentTestName()};
    SimModem sim;
};

// One command through one fault of the modem; commandsReceived -1: not examined.
struct ScenarioRow {
    const char* name;
    SimFault fault;
    HRESULT result;
    const char* response;  // null: the caller's string is left as it was
    int sessionOpens, sessionCloses, commandsReceived;
    std::vector<std::string> lineHeads;
};
ScenarioRow Row(const char* name, SimFault fault, HRESULT result, const char* response, int opens, int closes,
                int commands, std::vector<std::string> lineHeads = {}) {
    return {name, fault, result, response, opens, closes, commands, std::move(lineHeads)};
}

class ChannelScenarioTest : public ChannelTest, public ::testing::WithParamInterface<ScenarioRow> {};

TEST_P(ChannelScenarioTest, ExecutesOneCommand) {
    const ScenarioRow& row = GetParam();
    sim->SetFault(row.fault);
    {
        Channel channel = NewChannel();
        ASSERT_EQ(channel->Open(), S_OK);
        std::string reply = kUntouched;
        EXPECT_EQ(Execute(channel.get(), kCommand, &reply), row.result);
        EXPECT_EQ(reply, row.response ? std::string(row.response) : kUntouched);
    }
    EXPECT_EQ(sim->SessionOpens(), row.sessionOpens);
    EXPECT_EQ(sim->SessionCloses(), row.sessionCloses);
    if (row.commandsReceived >= 0) {
        ASSERT_EQ(sim->CommandCount(), static_cast<size_t>(row.commandsReceived));
        if (row.commandsReceived > 0) {
            std::uint32_t commandId = 0;
            EXPECT_EQ(sim.Command(0, &commandId), kCommand);
            EXPECT_EQ(commandId, 1u);
        }
    }
    const std::vector<std::string> lines = log.SharedMessages();
    for (const std::string& head : row.lineHeads) EXPECT_THAT(lines, Contains(StartsWith(head)));
    ExpectNothingHeld();
}

const char* const kOk = kReply.c_str();
const char* const kEmpty = "";
const char kOpenFailed[] = "[Fail]OpenSession Fail hr = 0x80004005";
const char kWaitFailed[] = "[Fail] Wait SetCommand Fail \r";

INSTANTIATE_TEST_SUITE_P(
    Faults, ChannelScenarioTest,
    ::testing::Values(Row("Success", SimFault::None, S_OK, kOk, 1, 1, 1,
                          {"[ok]GetFirstInterface(): readyState=", "[?]SendData(): FALSE == IsCommandSessionOpened",
                           "[Success] Open Session Success", "[Success] OpenSession success hr = 0x0",
                           "[success]SetCommand success. Request Id is ", "[success]Get Command Response success \r"}),
                      Row("NoInterface", SimFault::NoInterface, E_FAIL, nullptr, 0, 0, 0,
                          {"[error]GetFirstInterface() error! pMbnInterface == NULL", kOpenFailed}),
                      Row("SeveralInterfacesUsesTheFirst", SimFault::SeveralInterfaces, S_OK, kOk, 1, 1, 1),
                      Row("ServiceMissing", SimFault::ServiceMissing, E_FAIL, nullptr, 0, 0, 0,
                          {"[error]SendData() error! NULL == deviceService hr=0x", kOpenFailed}),
                      Row("SessionAlreadyOpenIsLeftOpen", SimFault::SessionAlreadyOpen, S_OK, kOk, 0, 0, 1,
                          {"[Success] Session is Opend "}),
                      Row("SessionOpenFailStatusStillSends", SimFault::SessionOpenFailStatus, S_OK, kOk, 1, 1, -1,
                          {"[Success] Open Session Success"}),
                      Row("SessionOpenNoCompletion", SimFault::SessionOpenNoCompletion, E_FAIL, nullptr, 1, 0, 0,
                          {"[error] GetSessionRlt Fail", kOpenFailed}),
                      Row("SetCommandFailsWithItsResult", SimFault::SetCommandFails, E_ACCESSDENIED, nullptr, 1, 1, -1,
                          {"[Fail]SendData(): SetCommand hr = 0x80070005"}),
                      Row("CompletionFailStatusGivesEmptyReply", SimFault::CompletionFailStatus, S_OK, kEmpty, 1, 1, 1,
                          {"[Fail]OnSetCommandComplete but Fail! Return state 0x80004005"}),
                      Row("WrongRequestIdTimesOut", SimFault::CompletionWrongRequestId, E_FAIL, nullptr, 1, 1, 1,
                          {"[Warning] OnSetCommandComplete called! Request id is ", kWaitFailed}),
                      Row("CompletionBeforeSetCommandReturns", SimFault::CompletionBeforeReturn, S_OK, kOk, 1, 1, 1),
                      Row("NoCompletionTimesOut", SimFault::NoCompletion, E_FAIL, nullptr, 1, 1, 1, {kWaitFailed}),
                      Row("UnreadableDataArrayGivesEmptyReply", SimFault::UnreadableDataArray, S_OK, kEmpty, 1, 1, 1,
                          {"[Fail] Get At Response Success. Length 0"})),
    [](const ::testing::TestParamInfo<ScenarioRow>& info) { return info.param.name; });

TEST_F(ChannelTest, RepliesArriveByteForByteWhateverTheirSizeAndContent) {
    std::string megabyte(1 << 20, '\0');
    for (size_t i = 0; i < megabyte.size(); ++i) megabyte[i] = static_cast<char>(i * 7 + (i >> 8));
    const std::string command = "AT+REPLYTEST\r\n";
    Channel channel = NewChannel();
    ASSERT_EQ(channel->Open(), S_OK);
    for (const std::string& expected : {std::string(), std::string("\0OK\0\r\n\0", 7), megabyte}) {
        sim->SetReply(command.data(), command.size(), expected.data(), expected.size());
        std::string reply = kUntouched;
        EXPECT_EQ(Execute(channel.get(), command, &reply), S_OK);
        EXPECT_EQ(reply.size(), expected.size());
        EXPECT_TRUE(reply == expected);
    }
}

// The request ids the channel reported, in order.
std::vector<std::string> SentRequestIds(const TestLogFolder& log) {
    const std::string head = "[success]SetCommand success. Request Id is ";
    std::vector<std::string> ids;
    for (const std::string& line : log.SharedMessages()) {
        if (line.compare(0, head.size(), head) == 0) ids.push_back(line.substr(head.size()));
    }
    return ids;
}

TEST_F(ChannelTest, LateCompletionIsRefusedByTheNextCommand) {
    const std::string second = "AT+GTMSELCAR?\r\n";
    const std::string secondReply = "\r\n+GTMSELCAR: 1\r\n\r\nOK\r\n";
    sim->SetReply(second.data(), second.size(), secondReply.data(), secondReply.size());
    sim->SetFault(SimFault::LateCompletion);
    sim->SetCompletionDelay(kShortWaits.replyMs + 500);
    Channel channel = NewChannel();
    ASSERT_EQ(channel->Open(), S_OK);

    std::string reply = kUntouched;
    EXPECT_EQ(Execute(channel.get(), kCommand, &reply), E_FAIL);
    EXPECT_EQ(reply, kUntouched);
    const std::vector<std::string> first = SentRequestIds(log);
    ASSERT_EQ(first.size(), 1u);
    // The late completion reaches the sink, logs its arrival and waits there for a request id.
    const std::string arrived = "[Success] OnSetCommandComplete called! Request id is " + first[0] + ".";
    ASSERT_TRUE(WaitFor([&] { return ::testing::Value(log.SharedMessages(), Contains(arrived)); }, 5000));

    sim->SetFault(SimFault::None);
    EXPECT_EQ(Execute(channel.get(), second, &reply), S_OK);
    EXPECT_EQ(reply, secondReply) << "the first command's reply must not be taken for the second's";
    ASSERT_TRUE(sim.WaitIdle(5000));
    channel.reset();

    const std::vector<std::string> ids = SentRequestIds(log);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_THAT(log.SharedMessages(), Contains("[Warning] OnSetCommandComplete called! Request id is " + ids[0] +
                                               "---" + ids[1] + ". Not Match."));
    ExpectNothingHeld();
}

// Turns a reply into its length and text, so the response shows what the parser made.
class RecordingParser : public IGlobalTools::IAtParser {
public:
    std::string seen;
    void ExtractPayload(const void* buffer, std::uint32_t length, std::string* out) override {
        seen.assign(static_cast<const char*>(buffer), length);
        *out += "payload:" + std::to_string(length);
    }
    std::string KeepChars(std::string text, std::string) override { return text; }
    std::string RemoveChars(std::string text, std::string) override { return text; }
    std::string HexToDec(std::string) override { return "0"; }
    void Split(std::string, std::string, std::vector<std::string>*) override {}
    std::string GetBetween(std::string text, std::string, std::string) override { return text; }
    void Release() override {}
};

TEST_F(ChannelTest, ParserReplacesTheRawReplyAndEmptyCommandIsSent) {
    RecordingParser parser;
    Channel channel = NewChannel();
    ASSERT_EQ(channel->Open(), S_OK);
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(channel.get(), kCommand, &reply, &parser), S_OK);
    EXPECT_EQ(parser.seen, kReply);
    EXPECT_EQ(reply, "payload:" + std::to_string(kReply.size()));
    Execute(channel.get(), std::string(), &reply);
    ASSERT_EQ(sim->CommandCount(), 2u);
    EXPECT_EQ(sim.Command(1), "") << "a command of length zero is still sent";
}

// The session operations by hand; after closing a session that was found open no service is
// held, so sending and receiving are refused rather than reaching a released service.
TEST_F(ChannelTest, SessionOperationsByHand) {
    sim->SetFault(SimFault::SessionAlreadyOpen);
    Channel channel = NewChannel();
    ASSERT_EQ(channel->Open(), S_OK);
    EXPECT_EQ(channel->SendData(kCommand.data(), 3, 1), E_FAIL) << "no session yet";
    ASSERT_EQ(channel->OpenSession(kAtService), S_OK);
    EXPECT_EQ(channel->SendData(kCommand.data(), static_cast<std::uint32_t>(kCommand.size()), 1), S_OK);
    std::string reply;
    EXPECT_EQ(channel->Recvmsg(&reply), S_OK);
    EXPECT_EQ(reply, kReply);
    channel->CloseSession();
    EXPECT_EQ(sim->SessionCloses(), 0) << "a session found open is not closed";

    reply = kUntouched;
    EXPECT_EQ(channel->SendData(kCommand.data(), static_cast<std::uint32_t>(kCommand.size()), 1), E_FAIL);
    EXPECT_EQ(channel->Recvmsg(&reply), E_FAIL);
    EXPECT_EQ(channel->RecvDataMsg(&reply), E_FAIL);
    EXPECT_EQ(reply, kUntouched);
    EXPECT_EQ(sim->CommandCount(), 1u);
    const std::vector<std::string> lines = log.SharedMessages();
    EXPECT_THAT(lines, Contains("[Fail]Session is not open!"));
    EXPECT_THAT(lines, Contains("[Fail]Recvmsg Session is not open!"));
    channel.reset();
    ExpectNothingHeld();
}

TEST_F(ChannelTest, DataSessionOpensAndClosesOnTheSameService) {
    Channel channel = NewChannel();
    ASSERT_EQ(channel->Open(), S_OK);
    std::string reply = kUntouched;
    EXPECT_EQ(channel->RecvDataMsg(&reply), E_FAIL) << "no data session yet";
    ASSERT_EQ(channel->OpenDataSession(kAtService), S_OK);
    EXPECT_EQ(channel->RecvDataMsg(&reply), E_FAIL) << "no data arrives";
    EXPECT_EQ(reply, kUntouched);
    channel->CloseDataSession();
    ASSERT_EQ(channel->OpenDataSession(kAtService), S_OK);
    channel->CloseDataSession();
    EXPECT_EQ(sim->SessionOpens(), 0) << "the command session is not touched";
    channel.reset();

    const std::vector<std::string> lines = log.SharedMessages();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "[Success] Open Session Success"), 2)
        << "closed in between, so opened anew";
    EXPECT_THAT(lines, Contains("[Fail]Recvmsg Session is not open!"));
    ExpectNothingHeld();
}

TEST_F(ChannelTest, OpenInASingleThreadedApartmentFailsAndLeavesItsCom) {
    HRESULT openResult = S_OK;
    HRESULT afterRelease = E_FAIL;
    std::thread caller([&] {
        ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        Channel channel = NewChannel();
        openResult = channel->Open();
        channel.reset();
        // Still in the apartment: the channel did not end COM that it had not started.
        afterRelease = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ::CoUninitialize();
        ::CoUninitialize();
    });
    caller.join();
    EXPECT_EQ(openResult, RPC_E_CHANGED_MODE);
    EXPECT_EQ(afterRelease, S_FALSE);
    EXPECT_THAT(log.SharedMessages(), Contains("[error]Open() COM Initialize failed"));
    EXPECT_EQ(sim->Advises(), 0);
}

TEST_F(ChannelTest, ChannelLinesAtLevelZeroOnly) {
    log.SetLevel("0");
    Channel channel = NewChannel();
    ASSERT_EQ(channel->Open(), S_OK);
    std::string reply;
    ASSERT_EQ(Execute(channel.get(), kCommand, &reply), S_OK);
    EXPECT_THAT(log.SharedMessages(), ::testing::ElementsAre(StartsWith("[ok]GetFirstInterface(): readyState="),
                                                             "[?]SendData(): FALSE == IsCommandSessionOpened",
                                                             "[Success] Open Session Success"));
}

// Through the factory, with the shipped waits.
TEST_F(ChannelTest, FactoryChannelsAreDistinctAndOutliveEachOther) {
    Channel first = FactoryChannel();
    Channel second = FactoryChannel();
    ASSERT_NE(first.get(), second.get());
    ASSERT_EQ(first->Open(), S_OK);
    ASSERT_EQ(second->Open(), S_OK);
    first.reset();
    std::string reply;
    EXPECT_EQ(Execute(second.get(), kCommand, &reply), S_OK);
    EXPECT_EQ(reply, kReply);
    EXPECT_EQ(sim->SessionOpens(), 1);
    EXPECT_EQ(sim->SessionCloses(), 1);
    second.reset();
    EXPECT_EQ(sim->Advises(), 2);
    EXPECT_EQ(sim->Unadvises(), 2);
    ExpectNothingHeld();
}

TEST_F(ChannelTest, FactoryChannelWaitsTheShippedReplyTime) {
    sim->SetFault(SimFault::NoCompletion);
    Channel channel = FactoryChannel();
    ASSERT_EQ(channel->Open(), S_OK);
    std::string reply = kUntouched;
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(Execute(channel.get(), kCommand, &reply), E_FAIL);
    EXPECT_GE(::GetTickCount64() - start, 4900u);
    EXPECT_EQ(reply, kUntouched);
}

TEST_F(ChannelTest, ReleaseWithoutOpenTouchesNothing) {
    NewChannel().reset();
    EXPECT_EQ(sim->Advises(), 0);
    EXPECT_EQ(sim->LiveObjects(), 0);
}

}  // namespace
