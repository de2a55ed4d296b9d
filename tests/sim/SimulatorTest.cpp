// The simulated modem through COM as the channel meets it: registration, its objects and who
// holds them, completions on its own threads, each fault's effect, and its control's records.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <olectl.h>

#include "support/SimModem.h"
#include "support/TestFiles.h"
#include "platform/MbnApi.h"
#include "tools/win/ComPtr.h"
#include "tools/win/Event.h"
#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedComInit.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

const wchar_t kAtService[] = L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}";
const std::string kQuery = "AT+GTCURCAR?\r\n";
const std::string kReply = "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n";
constexpr HRESULT kNone = 1;  // no completion came

enum class Kind { OpenCommand, CloseCommand, SetCommand };

struct Completion {
    Kind kind;
    HRESULT status;
    ULONG requestId;
    ULONG responseId;
    bool readable;  // a data array came and its bytes could be reached
    std::string data;
    DWORD thread;
    bool afterReturn;  // the caller's SetCommand had returned when the callback began
};

// Records every completion, copying what it needs as the platform requires.
class RecordingSink : public IMbnDeviceServicesEvents {
public:
    std::atomic<bool> callerReturned{true};
    HANDLE hold = nullptr;  // when set, the command completion waits for it

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_MbnDeviceServicesEvents)) {
            *object = static_cast<IMbnDeviceServicesEvents*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    long references() const { return references_; }

    HRESULT STDMETHODCALLTYPE OnOpenCommandSessionComplete(IMbnDeviceService*, HRESULT status, ULONG id) override {
        return Record(Kind::OpenCommand, status, id, 0, nullptr);
    }
    HRESULT STDMETHODCALLTYPE OnCloseCommandSessionComplete(IMbnDeviceService*, HRESULT status, ULONG id) override {
        return Record(Kind::CloseCommand, status, id, 0, nullptr);
    }
    HRESULT STDMETHODCALLTYPE OnSetCommandComplete(IMbnDeviceService* service, ULONG responseId, SAFEARRAY* data,
                                                   HRESULT status, ULONG id) override {
        ScopedBstr serviceId;
        EXPECT_EQ(service->get_DeviceServiceID(serviceId.put()), S_OK) << "the borrowed service works in the callback";
        if (hold != nullptr) ::WaitForSingleObject(hold, 5000);
        return Record(Kind::SetCommand, status, id, responseId, data);
    }
    HRESULT STDMETHODCALLTYPE OnQuerySupportedCommandsComplete(IMbnDeviceService*, SAFEARRAY*, HRESULT,
                                                               ULONG) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnQueryCommandComplete(IMbnDeviceService*, ULONG, SAFEARRAY*, HRESULT, ULONG) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEventNotification(IMbnDeviceService*, ULONG, SAFEARRAY*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnOpenDataSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnCloseDataSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnWriteDataComplete(IMbnDeviceService*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnReadData(IMbnDeviceService*, SAFEARRAY*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInterfaceStateChange(BSTR, MBN_DEVICE_SERVICES_INTERFACE_STATE) override {
        return S_OK;
    }

    // The index-th completion of that kind, waiting up to timeoutMs for it.
    std::optional<Completion> WaitFor(Kind kind, DWORD timeoutMs, size_t index = 0) {
        std::unique_lock<std::mutex> lock(mutex_);
        std::optional<Completion> found;
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            size_t skip = index;
            for (const Completion& completion : completions_) {
                if (completion.kind == kind && skip-- == 0) return (found = completion).has_value();
            }
            return false;
        });
        return found;
    }

private:
    HRESULT Record(Kind kind, HRESULT status, ULONG id, ULONG responseId, SAFEARRAY* data) {
        Completion completion{kind, status, id, responseId, false, {}, ::GetCurrentThreadId(), callerReturned.load()};
        if (data != nullptr) {
            SafeArrayBytes bytes(data);
            completion.readable = bytes.valid();
            if (bytes.valid()) completion.data.assign(bytes.data(), bytes.size());
        }
        std::lock_guard<std::mutex> lock(mutex_);
        completions_.push_back(completion);
        changed_.notify_all();
        return S_OK;
    }

    std::atomic<long> references_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Completion> completions_;
};

// Not itself a sink but hands one out (or none, when null): Advise must ask, not cast.
class SinkHolder : public IUnknown {
public:
    explicit SinkHolder(RecordingSink* sink) : sink_(sink) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (sink_ != nullptr && IsEqualIID(iid, IID_MbnDeviceServicesEvents)) return sink_->QueryInterface(iid, object);
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

private:
    RecordingSink* sink_;
};

SAFEARRAY* Bytes(const std::string& bytes, LONG lowerBound = 0) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(bytes.size()), lowerBound};
    SAFEARRAY* array = ::SafeArrayCreate(VT_UI1, 1, &bound);
    void* data = nullptr;
    if (!bytes.empty() && SUCCEEDED(::SafeArrayAccessData(array, &data))) {
        memcpy(data, bytes.data(), bytes.size());
        ::SafeArrayUnaccessData(array);
    }
    return array;
}

// The platform objects one user of the modem holds.
struct Client {
    ComPtr<IMbnInterfaceManager> interfaces;
    ComPtr<IMbnDeviceServicesManager> services;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    ComPtr<IMbnDeviceService> service;

    void Connect(IUnknown* sink) {
        ASSERT_EQ(::CoCreateInstance(CLSID_MbnInterfaceManagerClass, nullptr, CLSCTX_ALL, IID_MbnInterfaceManager,
                                     interfaces.put_void()),
                  S_OK);
        ASSERT_EQ(::CoCreateInstance(CLSID_MbnDeviceServicesManagerClass, nullptr, CLSCTX_ALL,
                                     IID_MbnDeviceServicesManager, services.put_void()),
                  S_OK);
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(services->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(IID_MbnDeviceServicesEvents, point.put()), S_OK);
        ASSERT_TRUE(sink == nullptr || point->Advise(sink, &cookie) == S_OK);
    }
    // The service of the first interface, as the channel finds it; null when there is none.
    void FindService(const wchar_t* serviceId = kAtService) {
        ScopedSafeArray list;
        ASSERT_EQ(interfaces->GetInterfaces(list.put()), S_OK);
        LONG lower = 0, upper = -1;
        ::SafeArrayGetLBound(list.get(), 1, &lower);
        ::SafeArrayGetUBound(list.get(), 1, &upper);
        if (upper < lower) return;
        ComPtr<IMbnInterface> first;
        ASSERT_EQ(::SafeArrayGetElement(list.get(), &lower, first.put()), S_OK);
        ScopedBstr interfaceId;
        ASSERT_EQ(first->get_InterfaceID(interfaceId.put()), S_OK);
        ComPtr<IMbnDeviceServicesContext> context;
        ASSERT_EQ(services->GetDeviceServicesContext(interfaceId.get(), context.put()), S_OK);
        ScopedBstr id(serviceId);
        context->GetDeviceService(id.get(), service.put());
    }
    // Connected, the AT service found and its command session opened.
    void Open(RecordingSink* sink) {
        ASSERT_NO_FATAL_FAILURE(Connect(sink));
        ASSERT_NO_FATAL_FAILURE(FindService());
        ASSERT_TRUE(service);
        ULONG id = 0;
        ASSERT_EQ(service->OpenCommandSession(&id), S_OK);
        ASSERT_TRUE(sink->WaitFor(Kind::OpenCommand, 2000));
    }
    HRESULT Send(const std::string& bytes, ULONG* id, LONG lowerBound = 0) {
        ScopedSafeArray command(Bytes(bytes, lowerBound));
        return service->SetCommand(1, command.get(), id);
    }
    void Disconnect() {
        EXPECT_TRUE(cookie == 0 || point->Unadvise(cookie) == S_OK);
        cookie = 0;
    }
};

class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.loaded()) << "the simulated modem is not registered in this prefix";
        sim->Reset();
        ASSERT_TRUE(SUCCEEDED(com.Initialize(COINIT_MULTITHREADED)));
    }
    // Whatever a test did, once its objects are gone the modem holds nothing.
    void TearDown() override {
        if (sim.loaded()) ExpectNothingHeld();
    }
    void ExpectNothingHeld() {
        EXPECT_TRUE(sim.WaitIdle(10000));
        EXPECT_EQ(sim->AdvisedSinks(), 0);
        // A completion still waiting for its time holds its device service until it is done.
        EXPECT_TRUE(WaitUntil([&] { return sim->LiveObjects() == 0; }, 5000)) << sim->LiveObjects();
    }
    template <typename Condition>
    static bool WaitUntil(Condition done, DWORD timeoutMs) {
        const ULONGLONG end = ::GetTickCount64() + timeoutMs;
        while (!done()) {
            if (::GetTickCount64() >= end) return false;
            ::Sleep(5);
        }
        return true;
    }
    HRESULT CanUnloadNow() {
        const HMODULE module = ::GetModuleHandleW(SimModem::RegisteredPath().c_str());
        return reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")))();
    }

    ScopedComInit com;
    SimModem sim;
    RecordingSink sink;
};

std::wstring ClassValue(const wchar_t* clsid, const wchar_t* name) {
    const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    wchar_t value[MAX_PATH] = {};
    DWORD bytes = sizeof value - sizeof value[0];
    ::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes);
    return value;
}

TEST_F(SimulatorTest, RegisteredUnderBothManagerClassesAsThisDll) {
    for (const wchar_t* clsid :
         {L"{BDFEE05B-4418-11DD-90ED-001C257CCFF1}", L"{2269DAA3-2A9F-4165-A501-CE00A6F7A75B}"}) {
        EXPECT_EQ(ClassValue(clsid, nullptr), SimModem::RegisteredPath());
        EXPECT_EQ(ClassValue(clsid, L"ThreadingModel"), L"Both");
    }
    EXPECT_THAT(SimModem::RegisteredPath(), ::testing::EndsWith(L"\\oemsim.dll"));
}

TEST_F(SimulatorTest, CommandRoundTripOnTheSimulatorsThreads) {
    Client client;
    client.Connect(&sink);
    client.FindService(L"{FFFFFFFF-ABCA-4B11-A4E2-F2FC87F94488}");  // any case
    ASSERT_TRUE(client.service);
    ScopedBstr first, second;
    ASSERT_EQ(client.service->get_DeviceServiceID(first.put()), S_OK);
    ASSERT_EQ(client.service->get_DeviceServiceID(second.put()), S_OK);
    EXPECT_NE(first.get(), second.get()) << "a fresh string per call";
    EXPECT_STREQ(first.get(), kAtService);

    ULONG openId = 0, commandId = 7;  // SetCommand clears it on failure
    EXPECT_TRUE(FAILED(client.Send(kQuery, &commandId))) << "no session open";
    EXPECT_EQ(commandId, 0u);
    ASSERT_EQ(client.service->OpenCommandSession(&openId), S_OK);
    const auto opened = sink.WaitFor(Kind::OpenCommand, 2000);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->requestId, openId);
    EXPECT_NE(opened->thread, ::GetCurrentThreadId()) << "completions come on the simulator's threads";
    BOOL open = FALSE;
    ASSERT_EQ(client.service->get_IsCommandSessionOpen(&open), S_OK);
    EXPECT_TRUE(open);
    EXPECT_EQ(client.service->SetCommand(1, nullptr, &commandId), E_INVALIDARG);
    EXPECT_EQ(client.Send(std::string(4096, 'A'), &commandId), E_INVALIDARG) << "not smaller than MaxCommandSize";

    Event release(Event::ResetMode::Manual);
    sink.hold = release.get();
    ASSERT_EQ(client.Send(kQuery, &commandId, 7), S_OK) << "a lower bound other than 0: only the bytes count";
    EXPECT_NE(commandId, openId);
    EXPECT_TRUE(WaitUntil([&] { return sim->CompletionsInFlight() == 1; }, 2000));
    ::Sleep(50);
    EXPECT_EQ(sim->CompletionsInFlight(), 1) << "a completion inside a sink is in flight";
    release.Set();
    EXPECT_TRUE(sim.WaitIdle(2000));
    const auto reply = sink.WaitFor(Kind::SetCommand, 0);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, kReply);
    EXPECT_NE(reply->thread, ::GetCurrentThreadId());

    ULONG closeId = 0;
    ASSERT_EQ(client.service->CloseCommandSession(&closeId), S_OK);
    ASSERT_TRUE(sink.WaitFor(Kind::CloseCommand, 2000));
    EXPECT_EQ(sim->SessionOpens(), 1);
    EXPECT_EQ(sim->SessionCloses(), 1);
    client.Disconnect();
}

TEST_F(SimulatorTest, AdviseAsksForTheSinkAndEveryAdvisedSinkIsCalled) {
    RecordingSink other;
    SinkHolder holder(&other), notASink(nullptr);
    Client first, second;
    second.Connect(&holder);
    EXPECT_EQ(other.references(), 1) << "the reference the connection point keeps";
    DWORD cookie = 0;
    EXPECT_EQ(second.point->Advise(&notASink, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(second.point->Unadvise(second.cookie + 100), CONNECT_E_NOCONNECTION);
    ASSERT_NO_FATAL_FAILURE(first.Open(&sink));
    EXPECT_TRUE(other.WaitFor(Kind::OpenCommand, 2000));
    EXPECT_EQ(sim->Advises(), 3);
    EXPECT_EQ(sim->AdvisedSinks(), 2);

    EXPECT_TRUE(sim.WaitIdle(2000));
    second.Disconnect();
    EXPECT_EQ(other.references(), 0);
    first = Client();  // released with its sink still advised: the manager lets it go
    second = Client();
    ExpectNothingHeld();
    EXPECT_EQ(sim->Unadvises(), 1);
    EXPECT_EQ(sink.references(), 0);
}

// What GetInterfaces shows and one command through the modem under each fault.
struct FaultRow {
    const char* name;
    SimFault fault;
    LONG interfaces;
    bool serviceFound;
    bool openedBefore;       // the session was open before anyone opened it
    HRESULT openCompletion;  // kNone: never completes
    HRESULT setCommand;
    HRESULT replyCompletion;  // kNone: never completes
    bool idMatches;
    bool readable;      // the reply's data array is readable and holds the default reply
    bool beforeReturn;  // the completion was under way before SetCommand returned
    DWORD delayMs;      // the completion comes no earlier than this
};

class SimulatorFaultTest : public SimulatorTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(SimulatorFaultTest, InterfacesAndOneCommand) {
    const FaultRow& row = GetParam();
    sim->SetFault(row.fault);
    sim->SetCompletionDelay(row.delayMs);
    Client client;
    client.Connect(&sink);

    // An array of interface pointers from 0 with distinct ids; only the first is ready.
    ScopedSafeArray list;
    ASSERT_EQ(client.interfaces->GetInterfaces(list.put()), S_OK);
    EXPECT_NE(list.get()->fFeatures & FADF_UNKNOWN, 0);
    LONG lower = -1, upper = -1;
    ::SafeArrayGetLBound(list.get(), 1, &lower);
    ::SafeArrayGetUBound(list.get(), 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper - lower + 1, row.interfaces);
    std::set<std::wstring> ids;
    for (LONG i = lower; i <= upper; ++i) {
        ComPtr<IUnknown> element;
        ASSERT_EQ(::SafeArrayGetElement(list.get(), &i, element.put()), S_OK);
        ComPtr<IMbnInterface> mbnInterface;
        ASSERT_EQ(element->QueryInterface(IID_MbnInterface, mbnInterface.put_void()), S_OK);
        ScopedBstr id;
        ASSERT_EQ(mbnInterface->get_InterfaceID(id.put()), S_OK);
        ids.insert(id.get());
        MBN_READY_STATE state = MBN_READY_STATE_FAILURE;
        ASSERT_EQ(mbnInterface->GetReadyState(&state), S_OK);
        EXPECT_EQ(state, i == lower ? MBN_READY_STATE_INITIALIZED : MBN_READY_STATE_OFF);
    }
    EXPECT_EQ(ids.size(), static_cast<size_t>(row.interfaces));

    client.FindService();
    ASSERT_EQ(static_cast<bool>(client.service), row.serviceFound);
    if (!row.serviceFound) return client.Disconnect();
    BOOL open = FALSE;
    client.service->get_IsCommandSessionOpen(&open);
    EXPECT_EQ(open != FALSE, row.openedBefore);
    ULONG id = 0;
    if (!row.openedBefore) {
        ASSERT_EQ(client.service->OpenCommandSession(&id), S_OK);
        const auto opened = sink.WaitFor(Kind::OpenCommand, row.openCompletion == kNone ? 300 : 2000);
        EXPECT_EQ(opened ? opened->status : kNone, row.openCompletion);
    }

    sink.callerReturned = false;
    const ULONGLONG sent = ::GetTickCount64();
    EXPECT_EQ(client.Send(kQuery, &id), row.setCommand);
    sink.callerReturned = true;
    std::uint32_t receivedId = 0;
    EXPECT_EQ(sim->CommandCount(), row.setCommand == S_OK ? 1u : 0u);
    EXPECT_EQ(sim.Command(0, &receivedId), row.setCommand == S_OK ? kQuery : "");
    EXPECT_EQ(receivedId, row.setCommand == S_OK ? 1u : 0u);
    const auto reply = sink.WaitFor(Kind::SetCommand, row.replyCompletion == kNone ? 500 : 2000 + row.delayMs);
    ASSERT_EQ(reply ? reply->status : kNone, row.replyCompletion);
    if (reply) {
        EXPECT_GE(::GetTickCount64() - sent + 20, row.delayMs);
        EXPECT_EQ(reply->requestId == id, row.idMatches);
        EXPECT_NE(reply->requestId, 0u);
        EXPECT_EQ(reply->responseId, 1u) << "the command id comes back";
        EXPECT_EQ(reply->readable, row.readable);
        EXPECT_EQ(reply->data, row.readable ? kReply : "");
        EXPECT_FALSE(row.beforeReturn && reply->afterReturn);
    }
    client.Disconnect();
}

const HRESULT kInvalidState = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);
using F = SimFault;
// name, fault, interfaces, service found, opened before, open completion, SetCommand, reply completion,
// id matches, readable, before return, delay
const FaultRow kFaultRows[] = {
    {"None", F::None, 1, true, false, S_OK, S_OK, S_OK, true, true, false, 0},
    {"NoInterface", F::NoInterface, 0, false, false, S_OK, S_OK, kNone, false, false, false, 0},
    {"SeveralInterfaces", F::SeveralInterfaces, 3, true, false, S_OK, S_OK, S_OK, true, true, false, 0},
    {"ServiceMissing", F::ServiceMissing, 1, false, false, S_OK, S_OK, kNone, false, false, false, 0},
    {"SessionAlreadyOpen", F::SessionAlreadyOpen, 1, true, true, S_OK, S_OK, S_OK, true, true, false, 0},
    {"SessionOpenFailStatus", F::SessionOpenFailStatus, 1, true, false, E_FAIL, S_OK, S_OK, true, true, false, 0},
    {"SessionOpenNoCompletion", F::SessionOpenNoCompletion, 1, true, false, kNone, kInvalidState, kNone, false, false,
     false, 0},
    {"SetCommandFails", F::SetCommandFails, 1, true, false, S_OK, E_ACCESSDENIED, kNone, false, false, false, 0},
    {"CompletionFailStatus", F::CompletionFailStatus, 1, true, false, S_OK, S_OK, E_FAIL, true, false, false, 0},
    {"CompletionWrongRequestId", F::CompletionWrongRequestId, 1, true, false, S_OK, S_OK, S_OK, false, true, false, 0},
    {"CompletionBeforeReturn", F::CompletionBeforeReturn, 1, true, false, S_OK, S_OK, S_OK, true, true, true, 0},
    {"NoCompletion", F::NoCompletion, 1, true, false, S_OK, S_OK, kNone, false, false, false, 0},
    {"LateCompletion", F::LateCompletion, 1, true, false, S_OK, S_OK, S_OK, true, true, false, 400},
    {"UnreadableDataArray", F::UnreadableDataArray, 1, true, false, S_OK, S_OK, S_OK, true, false, false, 0},
};

INSTANTIATE_TEST_SUITE_P(Faults, SimulatorFaultTest, ::testing::ValuesIn(kFaultRows),
                         [](const ::testing::TestParamInfo<FaultRow>& info) { return info.param.name; });

TEST_F(SimulatorTest, WaitingCompletionKeepsItsServiceAndTheDll) {
    sim->SetFault(SimFault::LateCompletion);
    sim->SetCompletionDelay(300);
    {
        Client client;
        ASSERT_NO_FATAL_FAILURE(client.Open(&sink));
        ULONG id = 0;
        ASSERT_EQ(client.Send(kQuery, &id), S_OK);
        client.Disconnect();
    }
    EXPECT_EQ(sim->CompletionsInFlight(), 0) << "not yet handed to any sink";
    EXPECT_EQ(sim->LiveObjects(), 1) << "the device service the completion will name";
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    EXPECT_TRUE(WaitUntil([&] { return CanUnloadNow() == S_OK; }, 5000));
    EXPECT_EQ(sim->LiveObjects(), 0);
    EXPECT_FALSE(sink.WaitFor(Kind::SetCommand, 0)) << "the late completion found no sink advised";
}

TEST_F(SimulatorTest, ScriptedReplyBeforeProfileAndResetGoesBack) {
    const std::string path = TestFiles::ExecutableFolder() + "test-profile.txt";
    std::ofstream(path) << "> AT*\n< p\\0q\n";
    ASSERT_TRUE(sim->LoadProfile(path.c_str()));
    ::DeleteFileA(path.c_str());
    EXPECT_FALSE(sim->LoadProfile(path.c_str())) << "a missing profile is refused, the loaded one kept";
    sim->SetReply("ATI\r\n", 5, "\0scripted", 9);

    Client client;
    ASSERT_NO_FATAL_FAILURE(client.Open(&sink));
    size_t replies = 0;
    auto replyTo = [&](const std::string& command) {
        ULONG id = 0;
        EXPECT_EQ(client.Send(command, &id), S_OK);
        const auto reply = sink.WaitFor(Kind::SetCommand, 2000, replies++);
        return reply ? reply->data : std::string("(no reply)");
    };
    EXPECT_EQ(replyTo(kQuery), std::string("p\0q", 3)) << "the loaded profile";
    EXPECT_EQ(replyTo("ATI\r\n"), std::string("\0scripted", 9)) << "a scripted reply goes first";
    sim->Reset();
    EXPECT_EQ(sim->CommandCount(), 0u);
    ULONG id = 0;
    ASSERT_EQ(client.service->OpenCommandSession(&id), S_OK);
    EXPECT_EQ(replyTo(kQuery), kReply);
    EXPECT_EQ(replyTo("ATI\r\n"), "\r\nERROR\r\n");
    client.Disconnect();
}

}  // namespace
