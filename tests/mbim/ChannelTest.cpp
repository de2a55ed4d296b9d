// The AT-over-MBIM channel against the simulated modem, and its sink alone for what it cannot provoke.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/HostKit.h"
#include "support/TestKit.h"
#include "support/ToolObjects.h"
#include "exports/ModuleGlobals.h"
#include "tools/ToolIds.h"
#include "tools/mbim/CMbimDeviceEx.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

using Channel = ToolPtr<IGlobalTools::IMbimChannel>;

const MbimWaits kShortWaits{2000, 1500, 4000};
const std::string kCommand = "AT+GTCURCAR?\r\n";
const std::string kReply = "\r\n+GTCURCAR: 3,\"Carrier\"\r\n\r\nOK\r\n";
const std::string kUntouched = "caller's text";
const char kCalled[] = "[Success] OnSetCommandComplete called! Request id is ";
const char kOther[] = "[Warning] OnSetCommandComplete called! Request id is ";
const char kNoId[] = "[Fail] OnSetCommandComplete get RequestId Fail. Current Id Is 0.";
const char kSent[] = "[success]SetCommand success. Request Id is ";
const char kWaitFailed[] = "[Fail] Wait SetCommand Fail \r";
const char kReplied[] = "[success]Get Command Response success \r";
const char kNotOpen[] = "[?]SendData(): FALSE == IsCommandSessionOpened";
const char kOpened[] = "[Success] Open Session Success";

HRESULT Execute(IGlobalTools::IMbimChannel* channel, const std::string& command, std::string* reply) {
    return channel->ExecuteCmd(command.data(), static_cast<std::uint32_t>(command.size()), reply, nullptr,
                               L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}", 1);
}

// Each head starts some line after the one the head before it started.
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& heads) {
    size_t next = 0;
    for (const std::string& line : lines) next += next < heads.size() && line.rfind(heads[next], 0) == 0;
    return next == heads.size();
}

long Starting(const std::vector<std::string>& lines, const std::string& head) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(head, 0) == 0; });
}

std::string TestName() {  // a row's own name for a row
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    return name.substr(name.rfind('/') + 1);
}

class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.loaded()) << "the simulated modem is not registered in this prefix";
        sim->Reset();
        sim->SetReply(kCommand.data(), kCommand.size(), kReply.data(), kReply.size());
    }
    // Every sink disconnected by its channel and every COM reference given back.
    void TearDown() override {
        EXPECT_TRUE(sim.WaitIdle(10000));
        EXPECT_EQ(sim->AdvisedSinks(), 0);
        EXPECT_EQ(sim->Unadvises(), sim->Advises());
        EXPECT_TRUE(WaitUntil([&] { return sim->LiveObjects() == 0; }, 2000)) << sim->LiveObjects();
    }
    bool CompletionLogged() {
        return WaitUntil([&] { return Starting(log.SharedMessages(), kCalled) == 1; }, 3000);
    }

    TestLogFolder log{"2", TestName()};
    SimModem sim;
    std::string reply = kUntouched;
};

// One command through one fault; the line heads, in order, show that the fault was injected.
struct ScenarioRow {
    const char* name;
    SimFault fault;
    HRESULT result;
    const char* response;  // null: the caller's string is left as it was
    int opens, closes, commands;
    std::vector<std::string> heads;
};

class ChannelScenarioTest : public ChannelTest, public ::testing::WithParamInterface<ScenarioRow> {};

TEST_P(ChannelScenarioTest, ExecutesOneCommand) {
    const ScenarioRow& row = GetParam();
    sim->SetFault(row.fault);
    {
        Channel channel(new CMbimDeviceEx(kShortWaits));
        ASSERT_EQ(channel->Open(), S_OK);
        EXPECT_EQ(Execute(channel.get(), kCommand, &reply), row.result);
        EXPECT_EQ(reply, row.response ? std::string(row.response) : kUntouched);
    }
    EXPECT_EQ(sim->SessionOpens(), row.opens);
    EXPECT_EQ(sim->SessionCloses(), row.closes);
    EXPECT_EQ(ReceivedCommands(sim), std::vector<std::string>(row.commands, kCommand));
    EXPECT_TRUE(InOrder(log.SharedMessages(), row.heads)) << ::testing::PrintToString(log.SharedMessages());
}

const char* const kOk = kReply.c_str();
const char kOpenFailed[] = "[Fail]OpenSession Fail hr = 0x80004005";
const char kGot32[] = "[success] Get At Response Success. Length 32";
const char kLength0[] = "[Fail] Get At Response Success. Length 0";
const char kFailStatus[] = "[Fail]OnSetCommandComplete but Fail! Return state 0x80004005";

// Lines of the channel's thread and of the completion's are in order each, not with each other:
// "SetCommand success" is written after the id is handed over, and a waiting completion may
// write first.
// clang-format off
using F = SimFault;
const ScenarioRow kScenarios[] = {
    {"Success", F::None, S_OK, kOk, 1, 1, 1, {"[ok]GetFirstInterface(): readyState=", kNotOpen, kOpened,
                                              "[Success] OpenSession success hr = 0x0", kGot32, kReplied}},
    {"NoInterface", F::NoInterface, E_FAIL, nullptr, 0, 0, 0,
     {"[error]GetFirstInterface() error! pMbnInterface == NULL", kOpenFailed}},
    {"ServiceMissing", F::ServiceMissing, E_FAIL, nullptr, 0, 0, 0,
     {"[error]SendData() error! NULL == deviceService hr=0x", kOpenFailed}},
    {"SessionOpenFailStatusStillSends", F::SessionOpenFailStatus, S_OK, kOk, 1, 1, 1, {kOpened, kReplied}},
    {"SessionOpenNoCompletion", F::SessionOpenNoCompletion, E_FAIL, nullptr, 1, 0, 0,
     {"[error] GetSessionRlt Fail", kOpenFailed}},
    {"SetCommandFails", F::SetCommandFails, E_ACCESSDENIED, nullptr, 1, 1, 0,
     {"[Fail]SendData(): SetCommand hr = 0x80070005"}},
    {"WrongRequestIdTimesOut", F::CompletionWrongRequestId, E_FAIL, nullptr, 1, 1, 1, {kOther, kWaitFailed}},
    {"CompletionBeforeReturnIsHeld", F::CompletionBeforeReturn, S_OK, kOk, 1, 1, 1, {kCalled, kSent, kReplied}},
    {"NoCompletionTimesOut", F::NoCompletion, E_FAIL, nullptr, 1, 1, 1, {kSent, kWaitFailed}},
    {"UnreadableDataArray", F::UnreadableDataArray, S_OK, "", 1, 1, 1, {kCalled, kLength0, kReplied}},
    {"InterfaceOffUsedAllTheSame", F::InterfaceOff, S_OK, kOk, 1, 1, 1,
     {"[ok]GetFirstInterface(): readyState=0", kReplied}},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Faults, ChannelScenarioTest, ::testing::ValuesIn(kScenarios), RowName<ScenarioRow>);

// Replies byte for byte whatever they hold; at level 0 only three session lines per command.
TEST_F(ChannelTest, RepliesByteForByteAndLevelZeroLines) {
    log.SetLevel("0");
    std::string big(70000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + (i >> 8));
    Channel channel(new CMbimDeviceEx(kShortWaits));
    ASSERT_EQ(channel->Open(), S_OK);
    for (const std::string& expected : {std::string(), Bytes("\0OK\0\r\n\0"), big}) {
        sim->SetReply(kCommand.data(), kCommand.size(), expected.data(), expected.size());
        EXPECT_EQ(Execute(channel.get(), kCommand, &reply), S_OK);
        EXPECT_TRUE(reply == expected) << reply.size() << " bytes instead of " << expected.size();
    }
    channel.reset();
    EXPECT_EQ(log.SharedMessages().size(), 9u);
    EXPECT_TRUE(InOrder(log.SharedMessages(), {"[ok]GetFirstInterface(): readyState=", kNotOpen, kOpened}));
}

// The host frees Oem.dll while the platform holds the reply back (with a short grace injected). The
// sink keeps the DLL mapped; the reply, delivered then, waits in the sink for a request id while
// the platform lets go of the sink; its own reference keeps the sink and the DLL until it leaves,
// a grace later the DLL is gone. Loaded again, the DLL finds the export lock free (the thread that
// unloaded it holds nothing), answers at once, and goes with the host's FreeLibrary.
TEST_F(ChannelTest, HeldReplyKeepsTheDllUntilThePlatformLetsGo) {
    constexpr unsigned kGraceMs = 300;
    const ScopedHandle lock = CreateExportLock();  // kept, as another process of the logon would
    ::SetEnvironmentVariableA("OEM_UNLOAD_GRACE_MS", std::to_string(kGraceMs).c_str());
    sim->HoldReplies(true);
    {
        OemDll oem;
        EXPECT_EQ(oem.Get<int(__cdecl*)()>("OEM_GetCurrentCarrierID")(), -1);
    }
    EXPECT_FALSE(OemDllUnloaded(2 * kGraceMs)) << "unmapped while the platform holds its sink";
    sim->HoldReplies(false);
    ASSERT_TRUE(CompletionLogged()) << "in the sink";
    sim->LetGoOfSinksInCall();
    EXPECT_FALSE(OemDllUnloaded(2 * kGraceMs)) << "unmapped under a running callback";
    ASSERT_TRUE(sim.WaitIdle(14000));
    EXPECT_TRUE(OemDllUnloaded(kGraceMs + 2000)) << "still mapped a grace after the sink went";
    {
        OemDll again;
        ASSERT_TRUE(ExportLockIsFree()) << "held by the thread that unloaded the DLL";
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_EQ(again.Get<int(__cdecl*)()>("OEM_GetCurrentCarrierID")(), 3);
        EXPECT_LT(::GetTickCount64() - start, 2000u);
    }
    EXPECT_TRUE(OemDllUnloaded(0)) << "a sink the platform let go of at Unadvise holds nothing";
    EXPECT_EQ(Starting(log.SharedMessages(), kNoId), 1);
    ::SetEnvironmentVariableA("OEM_UNLOAD_GRACE_MS", nullptr);
}

// The sink alone, called as the platform's threads would: its two interfaces are one object; a
// stale close is cleared; one session completion wakes one wait; the reply bytes of arrays of any
// bounds and shape; the failure lines at level 0.
TEST(SinkTest, StaleCloseArraysOfAnyShapeAndTheFailureLines) {
    TestLogFolder log{"0", "Sink"};
    std::string reply = kUntouched;
    auto sink = ComPtr<CDefaultServiceEvent>::Adopt(new CDefaultServiceEvent(MbimWaits{300, 300, 200}));
    ComPtr<IUnknown> identity;
    ComPtr<IUnknown> events;
    void* other = sink.get();
    EXPECT_EQ(sink->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
    EXPECT_EQ(sink->QueryInterface(IID_MbnDeviceServicesEvents, events.put_void()), S_OK);
    EXPECT_EQ(identity.get(), events.get());
    EXPECT_EQ(sink->QueryInterface(IID_IConnectionPoint, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    identity.reset();
    events.reset();
    sink->OnCloseCommandSessionComplete(nullptr, S_OK, 2);
    sink->ResetForCommand();
    EXPECT_EQ(sink->WaitCommandSession(), static_cast<DWORD>(WAIT_TIMEOUT));
    sink->OnOpenCommandSessionComplete(nullptr, S_OK, 3);
    EXPECT_EQ(sink->WaitCommandSession(), WAIT_OBJECT_0);
    EXPECT_EQ(sink->WaitCommandSession(), static_cast<DWORD>(WAIT_TIMEOUT));
    // Dimension 1's count of elements, read as bytes whatever the element size or further
    // dimensions; no data pointer is a failure.
    struct Shape {  // no bounds: no array at all
        VARTYPE type; std::vector<SAFEARRAYBOUND> bounds; std::string data, reply; HRESULT status; bool noData;
    } const shapes[] = {
        {VT_UI1, {{6, 5}}, Bytes("\0A\0\r\n5"), Bytes("\0A\0\r\n5"), S_OK, false},
        {VT_UI1, {{7, -3}}, Bytes("\0A\0\r\n-3"), Bytes("\0A\0\r\n-3"), S_OK, false},
        {VT_I4, {{2, 0}}, "ABCDEFGH", "AB", S_OK, false}, {VT_UI1, {{3, 0}, {2, 0}}, "abcdef", "abc", S_OK, false},
        {VT_UI1, {}, "", "", E_FAIL, false}, {VT_UI1, {}, "", "", S_OK, false}, {VT_UI1, {{0, 0}}, "", "", S_OK, true},
    };
    ULONG id = 10;
    for (const Shape& shape : shapes) {
        ScopedSafeArray array;
        if (shape.noData) {
            ASSERT_EQ(::SafeArrayAllocDescriptorEx(shape.type, 1, array.put()), S_OK);
            array.get()->cbElements = 1;
        } else if (!shape.bounds.empty()) {
            array.reset(::SafeArrayCreate(shape.type, static_cast<UINT>(shape.bounds.size()),
                                          const_cast<SAFEARRAYBOUND*>(shape.bounds.data())));
            std::copy(shape.data.begin(), shape.data.end(), static_cast<char*>(array.get()->pvData));
        }
        sink->SetRequestId(++id);
        sink->OnSetCommandComplete(nullptr, 1, array.get(), shape.status, id);
        ASSERT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
        EXPECT_EQ(reply, shape.reply) << id;
    }
    sink->OnSetCommandComplete(nullptr, 1, nullptr, S_OK, 5);  // no id within the wait
    EXPECT_THAT(log.SharedMessages(), ::testing::ElementsAre(kFailStatus, kLength0, kLength0, kNoId));
}

// Completions blocked for a request id all wake when one is stored, even when the next command
// takes it back at once: each then compares, and none waits on to give up. Their refusal lines
// take their time (a log folder on a share, a scanner) and hold up neither the next command's
// wait nor the completion it waits for.
TEST(SinkTest, StoringAnIdWakesEveryWaitingCompletionAndSlowLinesHoldUpNoWait) {
    struct SlowLog final : IGlobalTools::ILog {
        void SetLogFile(const char*) override {}
        void WriteLog(int, const char* format, ...) override {
            const std::string line = format;
            called += line.rfind(kCalled, 0) == 0;
            if (line.rfind(kOther, 0) == 0) ++refused, ::Sleep(1000);
        }
        ULONG Release() override { return 1; }  // lives on the test's stack
        ULONG AddRef() override { return 1; }
        std::atomic<int> called{0}, refused{0};
    } slow;
    auto sink = ComPtr<CDefaultServiceEvent>::Adopt(
        new CDefaultServiceEvent(MbimWaits{300, 1000, 4000}, ComPtr<IGlobalTools::ILog>::Adopt(&slow)));
    sink->ResetForCommand();
    std::vector<std::thread> completions;
    for (ULONG id : {7, 8}) completions.emplace_back([&, id] { sink->OnSetCommandComplete(nullptr, 1, nullptr, S_OK, id); });
    ASSERT_TRUE(WaitUntil([&] { return slow.called == 2; }, 2000));
    ::Sleep(300);  // both blocked in their wait
    const ULONGLONG start = ::GetTickCount64();
    sink->SetRequestId(9);
    sink->ResetForCommand();
    ASSERT_TRUE(WaitUntil([&] { return slow.refused == 2; }, 2000));
    sink->SetRequestId(10);
    const ScopedSafeArray data = MakeByteArray("OK", 2);
    completions.emplace_back([&] { sink->OnSetCommandComplete(nullptr, 1, data.get(), S_OK, 10); });
    std::string reply;
    EXPECT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
    EXPECT_LT(::GetTickCount64() - start, 700u) << "held up by a line";
    EXPECT_EQ(reply, "OK");
    for (std::thread& completion : completions) completion.join();
    EXPECT_LT(::GetTickCount64() - start, 2500u) << "a completion waited on to give up";
}

}  // namespace
