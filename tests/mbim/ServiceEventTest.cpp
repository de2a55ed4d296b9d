// The device-service event sink, its callbacks called as the platform's threads would, with real safe arrays.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/LogFiles.h"
#include "tools/mbim/CDefaultServiceEvent.h"
#include "tools/win/ComPtr.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;

const MbimWaits kShortWaits{300, 300, 3000};

// Only get_DeviceServiceID is asked for by the sink; it hands out a fresh string per call.
class FakeDeviceService : public IMbnDeviceService {
public:
    std::atomic<int> idRequests{0};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QuerySupportedCommands(ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenCommandSession(ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CloseCommandSession(ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetCommand(ULONG, SAFEARRAY*, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryCommand(ULONG, SAFEARRAY*, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenDataSession(ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CloseDataSession(ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE WriteData(SAFEARRAY*, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_InterfaceID(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DeviceServiceID(BSTR* id) override {
        ++idRequests;
        *id = ::SysAllocString(L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsCommandSessionOpen(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsDataSessionOpen(BOOL*) override { return E_NOTIMPL; }
};

ScopedSafeArray Bytes(const std::string& bytes, LONG lowerBound = 0) {
    SAFEARRAYBOUND bound;
    bound.cElements = static_cast<ULONG>(bytes.size());
    bound.lLbound = lowerBound;
    ScopedSafeArray array(::SafeArrayCreate(VT_UI1, 1, &bound));
    void* data = nullptr;
    if (!bytes.empty() && SUCCEEDED(::SafeArrayAccessData(array.get(), &data))) {
        std::memcpy(data, bytes.data(), bytes.size());
        ::SafeArrayUnaccessData(array.get());
    }
    return array;
}

ComPtr<CDefaultServiceEvent> NewSink(const MbimWaits& waits = kShortWaits) {
    return ComPtr<CDefaultServiceEvent>::Adopt(new CDefaultServiceEvent(waits));
}

class ServiceEventTest : public ::testing::Test {
protected:
    HRESULT Complete(ULONG requestId, const std::string& reply, HRESULT status = S_OK) {
        ScopedSafeArray data = Bytes(reply);
        return sink->OnSetCommandComplete(&service, 1, data.get(), status, requestId);
    }

    TestLogFolder log{"2",
                      std::string("ServiceEvent_") + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    FakeDeviceService service;
    ComPtr<CDefaultServiceEvent> sink = NewSink();
    std::string reply = "caller's text";
};

TEST_F(ServiceEventTest, CompletionBeforeTheIdIsStoredIsDeliveredOnceItArrives) {
    std::atomic<bool> returned{false};
    std::thread platform([&] {
        Complete(41, "OK\r\n");
        returned = true;
    });
    ::Sleep(150);
    EXPECT_FALSE(returned) << "the completion waits for the channel's request id";
    sink->SetRequestId(41);
    EXPECT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
    platform.join();
    EXPECT_EQ(reply, "OK\r\n");
    EXPECT_GE(service.idRequests, 1);
}

TEST_F(ServiceEventTest, MismatchedIdIsRefusedWithoutReply) {
    sink->SetRequestId(5);
    EXPECT_EQ(Complete(6, "OK"), S_OK);
    EXPECT_EQ(sink->WaitReply(&reply), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(reply, "caller's text");
    EXPECT_THAT(log.SharedMessages(),
                Contains("[Warning] OnSetCommandComplete called! Request id is 6---5. Not Match."));
}

TEST_F(ServiceEventTest, FailedStatusOrUnreadableArrayWakesTheChannelWithAnEmptyReply) {
    sink->SetRequestId(3);
    Complete(3, "data of a failed completion", E_FAIL);
    EXPECT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
    EXPECT_EQ(reply, "");
    reply = "x";
    sink->SetRequestId(4);
    sink->OnSetCommandComplete(&service, 1, nullptr, S_OK, 4);
    EXPECT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
    EXPECT_EQ(reply, "");
}

TEST_F(ServiceEventTest, LateCompletionIsRefusedByTheNextCommandsId) {
    sink->ResetForCommand();
    sink->SetRequestId(1);
    EXPECT_EQ(sink->WaitReply(&reply), static_cast<DWORD>(WAIT_TIMEOUT));
    std::thread late([&] { Complete(1, "late"); });
    ::Sleep(100);
    sink->ResetForCommand();
    sink->SetRequestId(2);
    late.join();
    Complete(2, "fresh");
    EXPECT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
    EXPECT_EQ(reply, "fresh");
    EXPECT_THAT(log.SharedMessages(),
                Contains("[Warning] OnSetCommandComplete called! Request id is 1---2. Not Match."));
}

TEST_F(ServiceEventTest, ReadDataAppendsWithoutARequestId) {
    ScopedSafeArray data = Bytes("xy");
    sink->OnReadData(&service, data.get());
    EXPECT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
    EXPECT_EQ(reply, "xy");
}

TEST_F(ServiceEventTest, SessionCompletionsSignalAndResetForCommandClearsAStaleClose) {
    sink->OnOpenCommandSessionComplete(&service, E_FAIL, 1);
    EXPECT_EQ(sink->WaitCommandSession(), WAIT_OBJECT_0) << "a failed open still wakes the channel";

    sink->OnCloseCommandSessionComplete(&service, S_OK, 2);  // arrives after the channel stopped waiting
    sink->OnCloseDataSessionComplete(&service, S_OK, 3);
    sink->ResetForCommand();
    EXPECT_EQ(sink->WaitCommandSession(), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(sink->WaitDataSession(), WAIT_OBJECT_0) << "the data-session event is left alone";
}

// Every line the completion paths write, at its level.
struct LevelRow {
    const char* level;
    std::vector<std::string> lines;
};

class ServiceEventLogTest : public ::testing::TestWithParam<LevelRow> {};

TEST_P(ServiceEventLogTest, WritesEachLineAtItsLevel) {
    TestLogFolder log(GetParam().level, std::string("ServiceEventLog_") + GetParam().level);
    FakeDeviceService service;
    ComPtr<CDefaultServiceEvent> sink = NewSink(MbimWaits{300, 300, 100});
    std::string reply;
    auto complete = [&](ULONG id, SAFEARRAY* data, HRESULT status) {
        sink->OnSetCommandComplete(&service, 1, data, status, id);
    };
    ScopedSafeArray hello = Bytes("hello");
    sink->SetRequestId(7);
    complete(6, hello.get(), S_OK);
    complete(7, hello.get(), E_FAIL);
    sink->WaitReply(&reply);
    sink->SetRequestId(8);
    complete(8, hello.get(), S_OK);
    sink->WaitReply(&reply);
    sink->SetRequestId(9);
    complete(9, nullptr, S_OK);
    sink->WaitReply(&reply);
    complete(10, hello.get(), S_OK);  // no id stored within the request-id wait
    ScopedSafeArray xy = Bytes("xy");
    sink->OnReadData(&service, xy.get());
    EXPECT_THAT(log.SharedMessages(), ElementsAreArray(GetParam().lines));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, ServiceEventLogTest,
    ::testing::Values(
        LevelRow{
            "0",
            {"[Fail]OnSetCommandComplete but Fail! Return state 0x80004005", "[Fail] Get At Response Success. Length 0",
             "[Fail] OnSetCommandComplete get RequestId Fail. Current Id Is 0."}},
        LevelRow{
            "2",
            {"[Success] OnSetCommandComplete called! Request id is 6.",
             "[Warning] OnSetCommandComplete called! Request id is 6---7. Not Match.",
             "[Success] OnSetCommandComplete called! Request id is 7.",
             "[Fail]OnSetCommandComplete but Fail! Return state 0x80004005",
             "[Success] OnSetCommandComplete called! Request id is 8.", "[success] Get At Response Success. Length 5",
             "[Success] OnSetCommandComplete called! Request id is 9.", "[Fail] Get At Response Success. Length 0",
             "[Success] OnSetCommandComplete called! Request id is 10.",
             "[Fail] OnSetCommandComplete get RequestId Fail. Current Id Is 0.",
             "[Success] OnSetCommandComplete called!", "[success] Get At Response Success. Length 2"}}),
    [](const ::testing::TestParamInfo<LevelRow>& info) { return std::string("LogLv") + info.param.level; });

// The data array's bounds decide how many bytes are appended; the lower bound need not be 0.
TEST_F(ServiceEventTest, AppendsExactlyTheArraysBytesWhateverItsLowerBound) {
    const std::pair<LONG, std::string> arrays[] = {
        {5, "abcdefghij"}, {0, std::string("\0A\0\r\n", 5)}, {-3, "+GTCURCAR: 1\r\nOK\r\n"}};
    ULONG id = 12;
    for (const auto& array : arrays) {
        ScopedSafeArray data = Bytes(array.second, array.first);
        sink->ResetForCommand();
        sink->SetRequestId(++id);
        sink->OnSetCommandComplete(&service, 1, data.get(), S_OK, id);
        reply = "x";
        ASSERT_EQ(sink->WaitReply(&reply), WAIT_OBJECT_0);
        EXPECT_EQ(reply, array.second) << "lower bound " << array.first;
    }
}

// Only IUnknown and the event interface are answered, each with one added reference.
TEST(ServiceEventQuery, AnswersOnlyIUnknownAndTheEventInterface) {
    ComPtr<CDefaultServiceEvent> sink = NewSink();
    const std::pair<IID, bool> rows[] = {{IID_IUnknown, true},
                                         {IID_MbnDeviceServicesEvents, true},
                                         {IID_IDispatch, false},
                                         {IID_MbnDeviceService, false}};
    for (const auto& row : rows) {
        void* object = reinterpret_cast<void*>(0x1);
        const HRESULT hr = sink->QueryInterface(row.first, &object);
        if (row.second) {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(object, static_cast<IMbnDeviceServicesEvents*>(sink.get()));
            EXPECT_EQ(sink->Release(), 1u) << "the answer added one reference";
        } else {
            EXPECT_EQ(hr, E_NOINTERFACE);
            EXPECT_EQ(object, nullptr);
            EXPECT_EQ(sink->AddRef(), 2u) << "a refusal added no reference";
            sink->Release();
        }
    }
}

}  // namespace
