// The simulated modem through COM, as the channel meets it on a real machine: registration,
// the objects and their ownership rules, completions on the simulator's own threads, the
// faults a test can ask for, and the control's own records.
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
#include "tools/mbim/MbnApi.h"
#include "tools/win/ComPtr.h"
#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedComInit.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

const wchar_t kAtService[] = L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}";
const std::string kCarrierQuery = "AT+GTCURCAR?\r\n";
const std::string kDefaultCarrierReply = "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n";
// Stands for "no completion came" in the expectations below.
constexpr HRESULT kNone = 1;

enum class Kind { OpenCommand, CloseCommand, SetCommand, QuerySupported };

struct Completion {
    Kind kind;
    HRESULT status;
    ULONG requestId;
    ULONG responseId;
    bool hasData;
    bool dataReadable;
    std::string data;
    DWORD thread;
    bool afterReturn;  // the caller's SetCommand had returned when the callback began
};

// A sink that records every completion, copying what it needs as the platform requires.
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

    HRESULT STDMETHODCALLTYPE OnQuerySupportedCommandsComplete(IMbnDeviceService*, SAFEARRAY* ids, HRESULT status,
                                                               ULONG requestId) override {
        return Record(Kind::QuerySupported, status, requestId, 0, ids);
    }
    HRESULT STDMETHODCALLTYPE OnOpenCommandSessionComplete(IMbnDeviceService*, HRESULT status,
                                                           ULONG requestId) override {
        return Record(Kind::OpenCommand, status, requestId, 0, nullptr);
    }
    HRESULT STDMETHODCALLTYPE OnCloseCommandSessionComplete(IMbnDeviceService*, HRESULT status,
                                                            ULONG requestId) override {
        return Record(Kind::CloseCommand, status, requestId, 0, nullptr);
    }
    HRESULT STDMETHODCALLTYPE OnSetCommandComplete(IMbnDeviceService* service, ULONG responseId, SAFEARRAY* data,
                                                   HRESULT status, ULONG requestId) override {
        ScopedBstr id;
        EXPECT_EQ(service->get_DeviceServiceID(id.put()), S_OK) << "the borrowed service works in the callback";
        if (hold != nullptr) ::WaitForSingleObject(hold, 5000);
        return Record(Kind::SetCommand, status, requestId, responseId, data);
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

    // The completion of that kind at index (in arrival order), waiting up to timeoutMs for it.
    std::optional<Completion> WaitFor(Kind kind, DWORD timeoutMs, size_t index = 0) {
        std::unique_lock<std::mutex> lock(mutex_);
        std::optional<Completion> found;
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return (found = Find(kind, index)).has_value(); });
        return found;
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return completions_.size();
    }

private:
    std::optional<Completion> Find(Kind kind, size_t index) const {
        for (const Completion& completion : completions_) {
            if (completion.kind == kind && index-- == 0) return completion;
        }
        return std::nullopt;
    }
    HRESULT Record(Kind kind, HRESULT status, ULONG requestId, ULONG responseId, SAFEARRAY* data) {
        Completion completion{kind,
                              status,
                              requestId,
                              responseId,
                              data != nullptr,
                              false,
                              {},
                              ::GetCurrentThreadId(),
                              callerReturned.load()};
        if (data != nullptr) {
            SafeArrayDataScope access(data);
            LONG lower = 0, upper = -1;
            ::SafeArrayGetLBound(data, 1, &lower);
            ::SafeArrayGetUBound(data, 1, &upper);
            completion.dataReadable = access.data() != nullptr || upper < lower;
            if (access.data() != nullptr && kind != Kind::QuerySupported) {
                completion.data.assign(static_cast<const char*>(access.data()), upper - lower + 1);
            }
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

// An object that is not itself a sink but hands one out: Advise must ask, not cast.
class SinkHolder : public IUnknown {
public:
    explicit SinkHolder(RecordingSink* sink) : sink_(sink) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_MbnDeviceServicesEvents)) return sink_->QueryInterface(iid, object);
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
    SafeArrayDataScope access(array);
    if (!bytes.empty()) memcpy(access.data(), bytes.data(), bytes.size());
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
        if (sink != nullptr) {
            ASSERT_EQ(point->Advise(sink, &cookie), S_OK);
        }
    }
    // The AT service of the first interface, as the channel finds it; null when there is none.
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
    void Disconnect() {
        if (cookie != 0) {
            EXPECT_EQ(point->Unadvise(cookie), S_OK);
        }
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
        using CanUnload = HRESULT(STDAPICALLTYPE*)();
        const HMODULE module = ::GetModuleHandleW(SimModem::RegisteredPath().c_str());
        return reinterpret_cast<CanUnload>(reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")))();
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
    client.FindService();
    ASSERT_TRUE(client.service);
    BOOL open = TRUE;
    ASSERT_EQ(client.service->get_IsCommandSessionOpen(&open), S_OK);
    EXPECT_FALSE(open);

    ULONG openId = 0;
    ASSERT_EQ(client.service->OpenCommandSession(&openId), S_OK);
    const auto opened = sink.WaitFor(Kind::OpenCommand, 2000);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->requestId, openId);
    EXPECT_EQ(opened->status, S_OK);
    EXPECT_NE(opened->thread, ::GetCurrentThreadId());
    ASSERT_EQ(client.service->get_IsCommandSessionOpen(&open), S_OK);
    EXPECT_TRUE(open);

    // A lower bound other than 0: only the bytes count.
    ScopedSafeArray command(Bytes(kCarrierQuery, 7));
    ULONG commandId = 0;
    ASSERT_EQ(client.service->SetCommand(1, command.get(), &commandId), S_OK);
    EXPECT_NE(commandId, 0u);
    EXPECT_NE(commandId, openId);
    const auto reply = sink.WaitFor(Kind::SetCommand, 2000);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->requestId, commandId);
    EXPECT_EQ(reply->status, S_OK);
    EXPECT_EQ(reply->responseId, 1u);
    EXPECT_EQ(reply->data, kDefaultCarrierReply);
    EXPECT_NE(reply->thread, ::GetCurrentThreadId());
    ASSERT_EQ(sim->CommandCount(), 1u);
    std::uint32_t receivedId = 0;
    EXPECT_EQ(sim.Command(0, &receivedId), kCarrierQuery);
    EXPECT_EQ(receivedId, 1u);

    ULONG closeId = 0;
    ASSERT_EQ(client.service->CloseCommandSession(&closeId), S_OK);
    ASSERT_TRUE(sink.WaitFor(Kind::CloseCommand, 2000));
    EXPECT_EQ(sim->SessionOpens(), 1);
    EXPECT_EQ(sim->SessionCloses(), 1);

    EXPECT_EQ(sim->AdvisedSinks(), 1);
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "objects are alive";
    client.Disconnect();
    EXPECT_EQ(sim->Unadvises(), 1);
    client = Client();
    ExpectNothingHeld();
    EXPECT_EQ(sink.references(), 0);
    EXPECT_TRUE(WaitUntil([&] { return CanUnloadNow() == S_OK; }, 2000));
}

TEST_F(SimulatorTest, RefusedCommandsAreNotReceived) {
    Client client;
    client.Connect(&sink);
    client.FindService();
    ASSERT_TRUE(client.service);
    ULONG id = 7;
    ScopedSafeArray command(Bytes(kCarrierQuery));
    EXPECT_TRUE(FAILED(client.service->SetCommand(1, command.get(), &id))) << "no session open";
    EXPECT_EQ(id, 0u);
    ASSERT_EQ(client.service->OpenCommandSession(&id), S_OK);
    EXPECT_EQ(client.service->SetCommand(1, nullptr, &id), E_INVALIDARG);
    ScopedSafeArray huge(Bytes(std::string(4096, 'A')));
    EXPECT_EQ(client.service->SetCommand(1, huge.get(), &id), E_INVALIDARG) << "not smaller than MaxCommandSize";
    EXPECT_EQ(sim->CommandCount(), 0u);
    client.Disconnect();
}

TEST_F(SimulatorTest, ServiceFoundByIdInAnyCaseOnly) {
    Client client;
    client.Connect(nullptr);
    client.FindService(L"{FFFFFFFF-ABCA-4B11-A4E2-F2FC87F94488}");
    ASSERT_TRUE(client.service);
    ScopedBstr first, second;
    ASSERT_EQ(client.service->get_DeviceServiceID(first.put()), S_OK);
    ASSERT_EQ(client.service->get_DeviceServiceID(second.put()), S_OK);
    EXPECT_NE(first.get(), second.get()) << "a fresh string per call";
    EXPECT_STREQ(first.get(), kAtService);
    client.FindService(L"{ffffffff-abca-4b11-a4e2-f2fc87f94489}");
    EXPECT_FALSE(client.service);
}

TEST_F(SimulatorTest, EveryAdvisedSinkGetsEachCompletion) {
    RecordingSink other;
    Client first, second;
    first.Connect(&sink);
    second.Connect(&other);
    first.FindService();
    ASSERT_TRUE(first.service);
    ULONG id = 0;
    ASSERT_EQ(first.service->OpenCommandSession(&id), S_OK);
    EXPECT_TRUE(sink.WaitFor(Kind::OpenCommand, 2000));
    EXPECT_TRUE(other.WaitFor(Kind::OpenCommand, 2000));
    EXPECT_EQ(sim->AdvisedSinks(), 2);
    first.Disconnect();
    second.Disconnect();
}

TEST_F(SimulatorTest, AdviseAsksTheSinkAndUnadviseGivesItBack) {
    SinkHolder holder(&sink);
    Client client;
    client.Connect(&holder);
    EXPECT_EQ(sink.references(), 1) << "the reference the connection point keeps";
    EXPECT_EQ(client.point->Unadvise(client.cookie + 100), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(sim->Unadvises(), 0);

    struct NotASink : IUnknown {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
    } notASink;
    DWORD cookie = 0;
    EXPECT_EQ(client.point->Advise(&notASink, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(sim->Advises(), 2);
    EXPECT_EQ(sim->AdvisedSinks(), 1);

    client.Disconnect();
    EXPECT_EQ(sink.references(), 0);
}

TEST_F(SimulatorTest, ManagerReleasedWithASinkStillAdvisedLetsItGo) {
    {
        Client client;
        client.Connect(&sink);
    }
    EXPECT_EQ(sim->Unadvises(), 0);
    ExpectNothingHeld();
    EXPECT_EQ(sink.references(), 0);
}

// Interfaces as GetInterfaces shows them under each fault.
struct InterfaceRow {
    const char* name;
    SimFault fault;
    LONG count;
};

class SimulatorInterfaceTest : public SimulatorTest, public ::testing::WithParamInterface<InterfaceRow> {};

TEST_P(SimulatorInterfaceTest, ArrayOfInterfacePointers) {
    sim->SetFault(GetParam().fault);
    Client client;
    client.Connect(nullptr);
    ScopedSafeArray list;
    ASSERT_EQ(client.interfaces->GetInterfaces(list.put()), S_OK);
    VARTYPE type = VT_EMPTY;
    ::SafeArrayGetVartype(list.get(), &type);
    EXPECT_TRUE(type == VT_UNKNOWN || (list.get()->fFeatures & FADF_UNKNOWN) != 0);
    LONG lower = -1, upper = -1;
    ::SafeArrayGetLBound(list.get(), 1, &lower);
    ::SafeArrayGetUBound(list.get(), 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper - lower + 1, GetParam().count);
    std::vector<std::wstring> ids;
    for (LONG i = lower; i <= upper; ++i) {
        ComPtr<IUnknown> element;
        ASSERT_EQ(::SafeArrayGetElement(list.get(), &i, element.put()), S_OK);
        ComPtr<IMbnInterface> mbnInterface;
        ASSERT_EQ(element->QueryInterface(IID_MbnInterface, mbnInterface.put_void()), S_OK);
        ScopedBstr id;
        ASSERT_EQ(mbnInterface->get_InterfaceID(id.put()), S_OK);
        ids.push_back(id.get());
        MBN_READY_STATE state = MBN_READY_STATE_FAILURE;
        ASSERT_EQ(mbnInterface->GetReadyState(&state), S_OK);
        EXPECT_EQ(state, i == lower ? MBN_READY_STATE_INITIALIZED : MBN_READY_STATE_OFF);
        ComPtr<IMbnDeviceServicesContext> context;
        ASSERT_EQ(client.services->GetDeviceServicesContext(id.get(), context.put()), S_OK);
        ScopedBstr serviceId(kAtService);
        ComPtr<IMbnDeviceService> service;
        EXPECT_EQ(context->GetDeviceService(serviceId.get(), service.put()) == S_OK, i == lower)
            << "only the first interface is the modem";
    }
    EXPECT_EQ(std::set<std::wstring>(ids.begin(), ids.end()).size(), ids.size());
}

INSTANTIATE_TEST_SUITE_P(Faults, SimulatorInterfaceTest,
                         ::testing::Values(InterfaceRow{"OneModem", SimFault::None, 1},
                                           InterfaceRow{"NoInterface", SimFault::NoInterface, 0},
                                           InterfaceRow{"SeveralInterfaces", SimFault::SeveralInterfaces, 3}),
                         [](const ::testing::TestParamInfo<InterfaceRow>& info) { return info.param.name; });

// One command through the modem under each fault, as the platform shows it.
struct FaultRow {
    const char* name;
    SimFault fault;
    bool serviceFound;
    bool openedBefore;       // the session was open before anyone opened it
    HRESULT openCompletion;  // kNone: never completes
    HRESULT setCommand;
    HRESULT replyCompletion;  // kNone: never completes
    bool idMatches;
    bool dataReadable;
    std::string data;
    bool beforeReturn;  // the completion was under way before SetCommand returned
    DWORD delayMs;      // the completion comes no earlier than this
};

class SimulatorFaultTest : public SimulatorTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(SimulatorFaultTest, OneCommand) {
    const FaultRow& row = GetParam();
    sim->SetFault(row.fault);
    sim->SetCompletionDelay(row.delayMs);
    Client client;
    client.Connect(&sink);
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

    ScopedSafeArray command(Bytes(kCarrierQuery));
    sink.callerReturned = false;
    const ULONGLONG sent = ::GetTickCount64();
    EXPECT_EQ(client.service->SetCommand(1, command.get(), &id), row.setCommand);
    sink.callerReturned = true;
    const auto reply = sink.WaitFor(Kind::SetCommand, row.replyCompletion == kNone ? 500 : 2000 + row.delayMs);
    ASSERT_EQ(reply ? reply->status : kNone, row.replyCompletion);
    if (reply) {
        EXPECT_GE(::GetTickCount64() - sent + 20, row.delayMs);
        EXPECT_EQ(reply->requestId == id, row.idMatches);
        EXPECT_NE(reply->requestId, 0u);
        EXPECT_EQ(reply->hasData && reply->dataReadable, row.dataReadable);
        EXPECT_EQ(reply->data, row.data);
        if (row.beforeReturn) {
            EXPECT_FALSE(reply->afterReturn);
        }
    }
    client.Disconnect();
}

const FaultRow kFaultRows[] = {
    {"None", SimFault::None, true, false, S_OK, S_OK, S_OK, true, true, kDefaultCarrierReply, false, 0},
    {"ServiceMissing", SimFault::ServiceMissing, false, false, S_OK, S_OK, kNone, false, false, "", false, 0},
    {"SessionAlreadyOpen", SimFault::SessionAlreadyOpen, true, true, S_OK, S_OK, S_OK, true, true, kDefaultCarrierReply,
     false, 0},
    {"SessionOpenFailStatus", SimFault::SessionOpenFailStatus, true, false, E_FAIL, S_OK, S_OK, true, true,
     kDefaultCarrierReply, false, 0},
    {"SessionOpenNoCompletion", SimFault::SessionOpenNoCompletion, true, false, kNone,
     HRESULT_FROM_WIN32(ERROR_INVALID_STATE), kNone, false, false, "", false, 0},
    {"SetCommandFails", SimFault::SetCommandFails, true, false, S_OK, E_ACCESSDENIED, kNone, false, false, "", false,
     0},
    {"CompletionFailStatus", SimFault::CompletionFailStatus, true, false, S_OK, S_OK, E_FAIL, true, false, "", false,
     0},
    {"CompletionWrongRequestId", SimFault::CompletionWrongRequestId, true, false, S_OK, S_OK, S_OK, false, true,
     kDefaultCarrierReply, false, 0},
    {"CompletionBeforeReturn", SimFault::CompletionBeforeReturn, true, false, S_OK, S_OK, S_OK, true, true,
     kDefaultCarrierReply, true, 0},
    {"NoCompletion", SimFault::NoCompletion, true, false, S_OK, S_OK, kNone, false, false, "", false, 0},
    {"LateCompletion", SimFault::LateCompletion, true, false, S_OK, S_OK, S_OK, true, true, kDefaultCarrierReply, false,
     400},
    {"UnreadableDataArray", SimFault::UnreadableDataArray, true, false, S_OK, S_OK, S_OK, true, false, "", false, 0},
};

INSTANTIATE_TEST_SUITE_P(Faults, SimulatorFaultTest, ::testing::ValuesIn(kFaultRows),
                         [](const ::testing::TestParamInfo<FaultRow>& info) { return info.param.name; });

TEST_F(SimulatorTest, WaitingCompletionKeepsItsServiceAndTheDll) {
    sim->SetFault(SimFault::LateCompletion);
    sim->SetCompletionDelay(300);
    {
        Client client;
        client.Connect(&sink);
        client.FindService();
        ULONG id = 0;
        ASSERT_EQ(client.service->OpenCommandSession(&id), S_OK);
        ASSERT_TRUE(sink.WaitFor(Kind::OpenCommand, 2000));
        ScopedSafeArray command(Bytes(kCarrierQuery));
        ASSERT_EQ(client.service->SetCommand(1, command.get(), &id), S_OK);
        client.Disconnect();
    }
    EXPECT_EQ(sim->CompletionsInFlight(), 0) << "not yet handed to any sink";
    EXPECT_EQ(sim->LiveObjects(), 1) << "the device service the completion will name";
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    EXPECT_TRUE(WaitUntil([&] { return CanUnloadNow() == S_OK; }, 5000));
    EXPECT_EQ(sim->LiveObjects(), 0);
    EXPECT_EQ(sink.Count(), 1u) << "the late completion found no sink advised";
}

TEST_F(SimulatorTest, CompletionInsideASinkIsInFlight) {
    Client client;
    client.Connect(&sink);
    client.FindService();
    ULONG id = 0;
    ASSERT_EQ(client.service->OpenCommandSession(&id), S_OK);
    ASSERT_TRUE(sink.WaitFor(Kind::OpenCommand, 2000));
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    sink.hold = release;
    ScopedSafeArray command(Bytes(kCarrierQuery));
    ASSERT_EQ(client.service->SetCommand(1, command.get(), &id), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return sim->CompletionsInFlight() == 1; }, 2000));
    ::Sleep(50);
    EXPECT_EQ(sim->CompletionsInFlight(), 1) << "still inside the sink";
    ::SetEvent(release);
    EXPECT_TRUE(sim.WaitIdle(2000));
    EXPECT_TRUE(sink.WaitFor(Kind::SetCommand, 0));
    client.Disconnect();
    ::CloseHandle(release);
}

TEST_F(SimulatorTest, RepliesFromScriptThenProfileAndResetGoesBack) {
    const std::string path = TestFiles::ExecutableFolder() + "test-profile.txt";
    std::ofstream(path) << "> AT+GTCURCAR?\\r\\n\n< \\r\\n+GTCURCAR: 8\\r\\n\\r\\nOK\\r\\n\n> AT+X=*\n< x\\0y\n";
    ASSERT_TRUE(sim->LoadProfile(path.c_str()));
    std::ofstream(path) << "bad line\n";
    EXPECT_FALSE(sim->LoadProfile(path.c_str())) << "a malformed profile is refused";
    EXPECT_FALSE(sim->LoadProfile((path + ".missing").c_str()));
    ::DeleteFileA(path.c_str());
    sim->SetReply("ATI\r\n", 5, "\0scripted", 9);

    Client client;
    client.Connect(&sink);
    client.FindService();
    ASSERT_TRUE(client.service);
    size_t replies = 0;
    auto openSession = [&] {
        ULONG id = 0;
        ASSERT_EQ(client.service->OpenCommandSession(&id), S_OK);
    };
    auto replyTo = [&](const std::string& command) {
        ScopedSafeArray bytes(Bytes(command));
        ULONG id = 0;
        EXPECT_EQ(client.service->SetCommand(1, bytes.get(), &id), S_OK);
        const auto reply = sink.WaitFor(Kind::SetCommand, 2000, replies++);
        return reply ? reply->data : std::string("(no reply)");
    };
    openSession();
    EXPECT_EQ(replyTo("AT+GTCURCAR?\r\n"), "\r\n+GTCURCAR: 8\r\n\r\nOK\r\n") << "the loaded profile";
    EXPECT_EQ(replyTo("AT+X=1\r\n"), std::string("x\0y", 3));
    EXPECT_EQ(replyTo("ATI\r\n"), std::string("\0scripted", 9)) << "a scripted reply goes first";
    EXPECT_EQ(replyTo("AT+Y\r\n"), "\r\nERROR\r\n") << "not listed, no catch-all";

    sim->Reset();
    EXPECT_EQ(sim->CommandCount(), 0u);
    openSession();
    EXPECT_EQ(replyTo("AT+GTCURCAR?\r\n"), kDefaultCarrierReply);
    EXPECT_EQ(replyTo("ATI\r\n"), "\r\nERROR\r\n");
    client.Disconnect();
}

}  // namespace
