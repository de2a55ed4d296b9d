// The AT-over-MBIM channel and its event sink against the simulated modem that COM loads under
// the real class ids (short waits except through the factory), and the sink alone for what the
// channel cannot provoke.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "support/LogFiles.h"
#include "support/OemDll.h"
#include "support/SimModem.h"
#include "support/ToolObjects.h"
#include "tools/ToolIds.h"
#include "tools/mbim/CMbimDeviceEx.h"
#include "tools/win/ScopedHandle.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::StartsWith;
using Channel = ToolPtr<IGlobalTools::IMbimChannel>;

const wchar_t kAtService[] = L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}";
const MbimWaits kShortWaits{2000, 1500, 4000};
const std::string kCommand = "AT+GTCURCAR?\r\n";
const std::string kReply = "\r\n+GTCURCAR: 3,\"Carrier\"\r\n\r\nOK\r\n";
const std::string kUntouched = "caller's text";
const char kCalled[] = "[Success] OnSetCommandComplete called! Request id is ";
const char kNoId[] = "[Fail] OnSetCommandComplete get RequestId Fail. Current Id Is 0.";
const char kSent[] = "[success]SetCommand success. Request Id is ";
const char kWaitFailed[] = "[Fail] Wait SetCommand Fail \r";
const char kReplied[] = "[success]Get Command Response success \r";

HRESULT Execute(IGlobalTools::IMbimChannel* channel, const std::string& command, std::string* reply) {
    return channel->ExecuteCmd(command.data(), static_cast<std::uint32_t>(command.size()), reply, nullptr, kAtService,
                               1);
}

template <typename Predicate>
bool WaitFor(Predicate done, DWORD timeoutMs) {
    for (const ULONGLONG end = ::GetTickCount64() + timeoutMs; !done(); ::Sleep(10))
        if (::GetTickCount64() >= end) return done();
    return true;
}

// Each head starts some line after the one the head before it started.
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& heads) {
    auto line = lines.begin();
    for (const std::string& head : heads) {
        line = std::find_if(line, lines.end(), [&](const std::string& l) { return l.rfind(head, 0) == 0; });
        if (line == lines.end()) return false;
        ++line;
    }
    return true;
}

long Starting(const std::vector<std::string>& lines, const std::string& head) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(head, 0) == 0; });
}

std::string TestName() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
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
    // Every sink disconnected by its channel and every COM reference given back.
    void ExpectNothingHeld() {
        EXPECT_TRUE(sim.WaitIdle(10000));
        EXPECT_EQ(sim->AdvisedSinks(), 0);
        EXPECT_EQ(sim->Unadvises(), sim->Advises());
        EXPECT_TRUE(WaitFor([&] { return sim->LiveObjects() == 0; }, 2000)) << sim->LiveObjects();
    }

    TestLogFolder log{"2", "Channel_" + TestName()};
    SimModem sim;
};

// One command through one fault; the line heads, in order, show that the fault was injected.
struct ScenarioRow {
    const char* name;
    SimFault fault;
    HRESULT result;
    const char* response;  // null: the caller's string is left as it was
    int sessionOpens, sessionCloses, commandsReceived;
    std::vector<std::string> heads;
};

ScenarioRow Row(const char* name, SimFault fault, HRESULT result, const char* response, int opens, int closes,
                int commands, std::vector<std::string> heads) {
    return {name, fault, result, response, opens, closes, commands, std::move(heads)};
}

class ChannelScenarioTest : public ChannelTest, public ::testing::WithParamInterface<ScenarioRow> {};

TEST_P(ChannelScenarioTest, ExecutesOneCommand) {
    const ScenarioRow& row = GetParam();
    sim->SetFault(row.fault);
    {
        Channel channel(new CMbimDeviceEx(kShortWaits));
        ASSERT_EQ(channel->Open(), S_OK);
        std::string reply = kUntouched;
        EXPECT_EQ(Execute(channel.get(), kCommand, &reply), row.result);
        EXPECT_EQ(reply, row.response ? std::string(row.response) : kUntouched);
    }
    EXPECT_EQ(sim->SessionOpens(), row.sessionOpens);
    EXPECT_EQ(sim->SessionCloses(), row.sessionCloses);
    ASSERT_EQ(sim->CommandCount(), static_cast<size_t>(row.commandsReceived));
    std::uint32_t commandId = 1;
    EXPECT_EQ(row.commandsReceived ? sim.Command(0, &commandId) : kCommand, kCommand);
    EXPECT_EQ(commandId, 1u);
    EXPECT_TRUE(InOrder(log.SharedMessages(), row.heads)) << ::testing::PrintToString(log.SharedMessages());
    ExpectNothingHeld();
}

const char* const kOk = kReply.c_str();
const char kOpenFailed[] = "[Fail]OpenSession Fail hr = 0x80004005";
const char kGot32[] = "[success] Get At Response Success. Length 32";

INSTANTIATE_TEST_SUITE_P(
    Faults, ChannelScenarioTest,
    ::testing::Values(
        Row("Success", SimFault::None, S_OK, kOk, 1, 1, 1,
            {"[ok]GetFirstInterface(): readyState=", "[?]SendData(): FALSE == IsCommandSessionOpened",
             "[Success] Open Session Success", "[Success] OpenSession success hr = 0x0", kSent, kGot32, kReplied}),
        Row("NoInterface", SimFault::NoInterface, E_FAIL, nullptr, 0, 0, 0,
            {"[error]GetFirstInterface() error! pMbnInterface == NULL", kOpenFailed}),
        Row("ServiceMissing", SimFault::ServiceMissing, E_FAIL, nullptr, 0, 0, 0,
            {"[error]SendData() error! NULL == deviceService hr=0x", kOpenFailed}),
        Row("SessionFoundOpenIsLeftOpen", SimFault::SessionAlreadyOpen, S_OK, kOk, 0, 0, 1,
            {"[Success] Session is Opend ", kReplied}),
        Row("SessionOpenFailStatusStillSends", SimFault::SessionOpenFailStatus, S_OK, kOk, 1, 1, 1,
            {"[Success] Open Session Success", kReplied}),
        Row("SessionOpenNoCompletion", SimFault::SessionOpenNoCompletion, E_FAIL, nullptr, 1, 0, 0,
            {"[error] GetSessionRlt Fail", kOpenFailed}),
        Row("SetCommandFailsWithItsResult", SimFault::SetCommandFails, E_ACCESSDENIED, nullptr, 1, 1, 0,
            {"[Fail]SendData(): SetCommand hr = 0x80070005"}),
        Row("CompletionFailStatusGivesEmptyReply", SimFault::CompletionFailStatus, S_OK, "", 1, 1, 1,
            {kSent, "[Fail]OnSetCommandComplete but Fail! Return state 0x80004005", kReplied}),
        Row("WrongRequestIdTimesOut", SimFault::CompletionWrongRequestId, E_FAIL, nullptr, 1, 1, 1,
            {kSent, "[Warning] OnSetCommandComplete called! Request id is ", kWaitFailed}),
        Row("CompletionBeforeSetCommandReturnsIsHeld", SimFault::CompletionBeforeReturn, S_OK, kOk, 1, 1, 1,
            {kCalled, kSent, kGot32, kReplied}),
        Row("NoCompletionTimesOut", SimFault::NoCompletion, E_FAIL, nullptr, 1, 1, 1, {kSent, kWaitFailed}),
        Row("UnreadableDataArrayGivesEmptyReply", SimFault::UnreadableDataArray, S_OK, "", 1, 1, 1,
            {kCalled, "[Fail] Get At Response Success. Length 0", kReplied})),
    [](const ::testing::TestParamInfo<ScenarioRow>& info) { return info.param.name; });

// Replies byte for byte whatever they hold; at level 0 only the three session lines of each
// command are written.
TEST_F(ChannelTest, RepliesByteForByteAndLevelZeroLines) {
    log.SetLevel("0");
    std::string big(70000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + (i >> 8));
    Channel channel(new CMbimDeviceEx(kShortWaits));
    ASSERT_EQ(channel->Open(), S_OK);
    for (const std::string& expected : {std::string(), std::string("\0OK\0\r\n\0", 7), big}) {
        sim->SetReply(kCommand.data(), kCommand.size(), expected.data(), expected.size());
        std::string reply = kUntouched;
        EXPECT_EQ(Execute(channel.get(), kCommand, &reply), S_OK);
        EXPECT_TRUE(reply == expected) << reply.size() << " bytes instead of " << expected.size();
    }
    channel.reset();
    const std::vector<std::string> lines = log.SharedMessages();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_THAT(std::vector<std::string>(lines.begin(), lines.begin() + 3),
                ElementsAre(StartsWith("[ok]GetFirstInterface(): readyState="),
                            "[?]SendData(): FALSE == IsCommandSessionOpened", "[Success] Open Session Success"));
}

// A late completion of the first command is refused by the second, whose own reply comes through.
TEST_F(ChannelTest, LateCompletionIsRefusedByTheNextCommand) {
    const std::string second = "AT+GTMSELCAR?\r\n", secondReply = "\r\n+GTMSELCAR: 1\r\n\r\nOK\r\n";
    sim->SetReply(second.data(), second.size(), secondReply.data(), secondReply.size());
    sim->SetCommandFault(kCommand.data(), kCommand.size(), SimFault::LateCompletion);
    sim->SetCompletionDelay(kShortWaits.replyMs + 500);
    Channel channel(new CMbimDeviceEx(kShortWaits));
    ASSERT_EQ(channel->Open(), S_OK);
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(channel.get(), kCommand, &reply), E_FAIL);
    EXPECT_EQ(reply, kUntouched);
    ASSERT_TRUE(WaitFor([&] { return Starting(log.SharedMessages(), kCalled) == 1; }, 3000)) << "held in the sink";
    EXPECT_EQ(Execute(channel.get(), second, &reply), S_OK);
    EXPECT_EQ(reply, secondReply);
    channel.reset();
    EXPECT_TRUE(InOrder(log.SharedMessages(),
                        {kSent, kWaitFailed, kCalled, "[Warning] OnSetCommandComplete called! Request id is "}));
    ExpectNothingHeld();
}

// Releasing the channel wakes a late completion blocked in its sink and returns once it has
// left, long before the 12288 ms request-id wait it cuts short.
TEST_F(ChannelTest, ReleaseWakesACompletionBlockedInTheSink) {
    sim->SetFault(SimFault::LateCompletion);
    sim->SetCompletionDelay(5300);
    Channel channel = MakeTool<IGlobalTools::IMbimChannel>(ToolIds::IMbimChannel);
    ASSERT_EQ(channel->Open(), S_OK);
    std::string reply = kUntouched;
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(Execute(channel.get(), kCommand, &reply), E_FAIL);
    EXPECT_GE(::GetTickCount64() - start, 4900u) << "the shipped reply wait";
    ASSERT_TRUE(WaitFor([&] { return Starting(log.SharedMessages(), kCalled) == 1; }, 3000)) << "held in the sink";
    const ULONGLONG released = ::GetTickCount64();
    channel.reset();
    EXPECT_LT(::GetTickCount64() - released, 3000u);
    EXPECT_EQ(sim->CompletionsInFlight(), 0) << "Release returned with a callback still in the sink";
    EXPECT_THAT(log.SharedMessages(), Contains(kNoId));
    ExpectNothingHeld();
}

// The host unloads Oem.dll as soon as an export gave up on its late completion. A sink of the
// test's own, advised first, holds the delivery so that Oem.dll's sink gets the completion only
// after its channel unadvised it: the export must not return while the platform still holds it.
TEST_F(ChannelTest, UnloadAfterAnExportGaveUpOnALateCompletion) {
    Channel holder(new CMbimDeviceEx(MbimWaits{2000, 1500, 2500}));
    ASSERT_EQ(holder->Open(), S_OK);
    sim->SetFault(SimFault::LateCompletion);
    sim->SetCompletionDelay(4000);
    ScopedModule oem(::LoadLibraryA(OemDll::Path().c_str()));
    ASSERT_TRUE(oem.valid());
    auto carrierId = reinterpret_cast<int(__cdecl*)()>(
        reinterpret_cast<void*>(::GetProcAddress(oem.get(), "OEM_GetCurrentCarrierID")));
    ASSERT_NE(carrierId, nullptr);
    EXPECT_EQ(carrierId(), -1);
    oem.reset();
    EXPECT_EQ(::GetModuleHandleW(L"Oem.dll"), nullptr) << "unloaded";
    ASSERT_TRUE(sim.WaitIdle(15000));
    holder.reset();
    const std::vector<std::string> lines = log.SharedMessages();
    EXPECT_EQ(Starting(lines, kCalled), 2) << "delivered to both sinks";
    EXPECT_EQ(Starting(lines, kNoId), 2);
    ExpectNothingHeld();
}

// The sink alone, called as the platform's threads would.
ScopedSafeArray Bytes(const std::string& bytes, LONG lowerBound) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(bytes.size()), lowerBound};
    ScopedSafeArray array(::SafeArrayCreate(VT_UI1, 1, &bound));
    for (LONG i = 0; i < static_cast<LONG>(bytes.size()); ++i) {
        LONG index = lowerBound + i;
        ::SafeArrayPutElement(array.get(), &index, const_cast<char*>(&bytes[i]));
    }
    return array;
}

ComPtr<CDefaultServiceEvent> NewSink(DWORD requestIdMs) {
    return ComPtr<CDefaultServiceEvent>::Adopt(new CDefaultServiceEvent(MbimWaits{300, 300, requestIdMs}));
}

class SinkTest : public ::testing::Test {
protected:
    TestLogFolder log{"0", "Sink_" + TestName()};
    std::string reply = kUntouched;
};

TEST_F(SinkTest, CompletionIsHeldUntilTheIdIsStored) {
    log.SetLevel("2");
    ScopedSafeArray data = Bytes("OK\r\n", 0);
    ComPtr<CDefaultServiceEvent> sink = NewSink(5000);
    std::thread platform([&] { sink->OnSetCommandComplete(nullptr, 1, data.get(), S_OK, 41); });
    EXPECT_TRUE(WaitFor([&] { return !log.SharedMessages().empty(); }, 3000)) << "the completion arrived";
    sink->SetRequestId(41);
    EXPECT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
    platform.join();
    EXPECT_EQ(reply, "OK\r\n");
}

// A stale close is cleared for the next command; exactly the array's bytes whatever its lower
// bound; the failure lines at level 0, the last for a completion that comes after the channel
// closed the sink, answered at once.
TEST_F(SinkTest, StaleCloseArraysOfAnyLowerBoundAndTheFailureLines) {
    ComPtr<CDefaultServiceEvent> sink = NewSink(200);
    sink->OnCloseCommandSessionComplete(nullptr, S_OK, 2);
    sink->ResetForCommand();
    EXPECT_EQ(sink->WaitCommandSession(), static_cast<DWORD>(WAIT_TIMEOUT));
    ULONG id = 10;
    for (LONG lower : {5, -3}) {
        const std::string bytes = std::string("\0A\0\r\n", 5) + std::to_string(lower);
        ScopedSafeArray data = Bytes(bytes, lower);
        sink->SetRequestId(++id);
        sink->OnSetCommandComplete(nullptr, 1, data.get(), S_OK, id);
        ASSERT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
        EXPECT_EQ(reply, bytes);
    }
    sink->SetRequestId(3);
    sink->OnSetCommandComplete(nullptr, 1, nullptr, E_FAIL, 3);
    EXPECT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
    sink->SetRequestId(4);
    sink->OnSetCommandComplete(nullptr, 1, nullptr, S_OK, 4);
    EXPECT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
    EXPECT_EQ(reply, "");
    sink->OnSetCommandComplete(nullptr, 1, nullptr, S_OK, 5);  // no id within the wait
    sink->Close();
    const ULONGLONG start = ::GetTickCount64();
    sink->OnSetCommandComplete(nullptr, 1, nullptr, S_OK, 6);
    EXPECT_LT(::GetTickCount64() - start, 150u);
    EXPECT_THAT(log.SharedMessages(), ElementsAre("[Fail]OnSetCommandComplete but Fail! Return state 0x80004005",
                                                  "[Fail] Get At Response Success. Length 0", kNoId, kNoId));
    EXPECT_TRUE(sink->WaitUnused());
}

}  // namespace
