// What the simulated modem does that no end-to-end test shows: a waiting completion keeps the
// simulator loaded, Advise takes the sink the object itself hands out, and each profile finds
// its own saved carrier state.
#include <gtest/gtest.h>

#include <olectl.h>

#include <atomic>
#include <mutex>
#include <string>

#include "platform/MbnApi.h"
#include "support/SimModem.h"
#include "support/TestFiles.h"
#include "tools/win/ComObject.h"
#include "tools/win/ComPtr.h"
#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedComInit.h"
#include "tools/win/ScopedHandle.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

// Named before the simulator loads, so that this program's saved states are its own.
const bool kStateFileNamed =
    ::SetEnvironmentVariableA("OEMSIM_STATE", (TestFiles::ExecutableFolder() + "modem-state.txt").c_str()) != 0;

template <typename Condition>
bool WaitUntil(Condition done) {
    for (const ULONGLONG end = ::GetTickCount64() + 5000; !done();) {
        if (::GetTickCount64() >= end) return false;
        ::Sleep(5);
    }
    return true;
}

// Counts the session-open completions and keeps the last command reply.
class Sink final : public ComObject<Sink, IMbnDeviceServicesEvents> {
public:
    static const InterfaceRow<Sink> kInterfaceTable[];
    std::atomic<int> opened{0}, replies{0};

    ULONG References() {
        AddRef();
        return Release();
    }
    // The reply once there are count, waiting a while for it.
    std::string Reply(int count) {
        if (!WaitUntil([&] { return replies >= count; })) return "(no reply)";
        std::lock_guard<std::mutex> lock(mutex_);
        return reply_;
    }

    HRESULT STDMETHODCALLTYPE OnOpenCommandSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        ++opened;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnSetCommandComplete(IMbnDeviceService*, ULONG, SAFEARRAY* data, HRESULT,
                                                   ULONG) override {
        SafeArrayBytes bytes(data);
        std::lock_guard<std::mutex> lock(mutex_);
        reply_.assign(bytes.valid() ? bytes.data() : "", bytes.valid() ? bytes.size() : 0);
        ++replies;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnCloseCommandSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        return S_OK;
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

private:
    std::mutex mutex_;
    std::string reply_;
};
const InterfaceRow<Sink> Sink::kInterfaceTable[] = {
    {&IID_IUnknown, AsInterface<Sink, IMbnDeviceServicesEvents>},
    {&IID_MbnDeviceServicesEvents, AsInterface<Sink, IMbnDeviceServicesEvents>},
    {}};

// Not itself a sink but hands one out (or none): Advise must ask, not cast.
class SinkHolder final : public ComObject<SinkHolder, IUnknown> {
public:
    static const InterfaceRow<SinkHolder> kInterfaceTable[];
    explicit SinkHolder(Sink* sink) : sink_(sink) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (sink_ != nullptr && IsEqualIID(iid, IID_MbnDeviceServicesEvents)) return sink_->QueryInterface(iid, out);
        return ComObject::QueryInterface(iid, out);
    }

private:
    Sink* sink_;
};
const InterfaceRow<SinkHolder> SinkHolder::kInterfaceTable[] = {{&IID_IUnknown, AsInterface<SinkHolder, IUnknown>}, {}};

// One user of the modem, as the channel reaches it: the manager's connection point and the
// AT service of the first interface.
struct Client {
    ComPtr<IMbnDeviceServicesManager> services;
    ComPtr<IConnectionPoint> point;
    ComPtr<IMbnDeviceService> service;

    // Through COM, unless the manager is already there.
    void Connect() {
        if (!services) {
            ASSERT_EQ(::CoCreateInstance(CLSID_MbnDeviceServicesManagerClass, nullptr, CLSCTX_ALL,
                                         IID_MbnDeviceServicesManager, services.put_void()),
                      S_OK);
        }
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(services->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(IID_MbnDeviceServicesEvents, point.put()), S_OK);
    }
    // Connected with sink advised (when given), the command session open.
    void Open(Sink* sink = nullptr) {
        ASSERT_NO_FATAL_FAILURE(Connect());
        if (sink != nullptr) {
            // Advise asks the object for the events interface; one that has none is refused.
            ComPtr<SinkHolder> holder = ComPtr<SinkHolder>::Adopt(new SinkHolder(sink));
            ComPtr<SinkHolder> notASink = ComPtr<SinkHolder>::Adopt(new SinkHolder(nullptr));
            DWORD cookie = 0;
            ASSERT_EQ(point->Advise(notASink.get(), &cookie), CONNECT_E_CANNOTCONNECT);
            ASSERT_EQ(point->Advise(holder.get(), &cookie), S_OK);
            ASSERT_EQ(sink->References(), 2u) << "ours and the one the connection point keeps";
        }
        ComPtr<IMbnDeviceServicesContext> context;
        ScopedBstr interfaceId(L"{5C3A2E10-7B1D-4E6F-9A8B-0C1D2E3F4A01}");
        ASSERT_EQ(services->GetDeviceServicesContext(interfaceId.get(), context.put()), S_OK);
        ScopedBstr serviceId(L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}");
        ASSERT_EQ(context->GetDeviceService(serviceId.get(), service.put()), S_OK);
        ULONG id = 0;
        ASSERT_EQ(service->OpenCommandSession(&id), S_OK);
        ASSERT_TRUE(sink == nullptr || WaitUntil([&] { return sink->opened > 0; }));
    }
    HRESULT Send(const std::string& command) {
        ScopedSafeArray bytes = MakeByteArray(command.data(), command.size());
        ULONG id = 0;
        return service->SetCommand(1, bytes.get(), &id);
    }
};

// A host may free Oem.dll and COM may unload the simulator while a completion waits for its
// time: the completion keeps the simulator loaded until it has run, and no longer.
TEST(SimulatorModule, LoadedWhileALateCompletionWaits) {
    const std::wstring path = SimModem::RegisteredPath();
    ASSERT_FALSE(path.empty());
    {
        ScopedModule module(::LoadLibraryW(path.c_str()));
        ASSERT_TRUE(module);
        const auto getControl = reinterpret_cast<OemSimGetControlFunction>(
            reinterpret_cast<void*>(::GetProcAddress(module.get(), "OemSimGetControl")));
        ISimControl* sim = getControl();
        sim->Reset();
        sim->SetFault(SimFault::LateCompletion);
        sim->SetCompletionDelay(2000);
        // Made by the DLL's own class object: COM holds no reference on the DLL.
        const auto getClass = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(::GetProcAddress(module.get(), "DllGetClassObject")));
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClass(CLSID_MbnDeviceServicesManagerClass, IID_IClassFactory, factory.put_void()), S_OK);
        Client client;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_MbnDeviceServicesManager, client.services.put_void()), S_OK);
        factory.reset();
        ASSERT_NO_FATAL_FAILURE(client.Open());
        ASSERT_EQ(client.Send("AT\r\n"), S_OK);
        client = Client();
        EXPECT_TRUE(WaitUntil([&] { return sim->LiveObjects() == 1; })) << "the service the completion will name";
        const auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(::GetProcAddress(module.get(), "DllCanUnloadNow")));
        EXPECT_EQ(canUnloadNow(), S_FALSE);
    }
    EXPECT_NE(::GetModuleHandleW(path.c_str()), nullptr) << "unloaded under a waiting completion";
    EXPECT_TRUE(WaitUntil([&] { return ::GetModuleHandleW(path.c_str()) == nullptr; }))
        << "still loaded once the completion has run";
}

class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kStateFileNamed);
        ASSERT_TRUE(sim.loaded()) << "the simulated modem is not registered in this prefix";
        sim->Reset();
        ASSERT_TRUE(SUCCEEDED(com.Initialize(COINIT_MULTITHREADED)));
    }
    // Whatever a test did, once its objects are gone the modem holds nothing.
    void TearDown() override {
        EXPECT_EQ(sim->AdvisedSinks(), 0);
        EXPECT_TRUE(WaitUntil([&] { return sim->LiveObjects() == 0; })) << sim->LiveObjects();
    }

    ScopedComInit com;
    SimModem sim;
    ComPtr<Sink> sink = ComPtr<Sink>::Adopt(new Sink);
};

TEST_F(SimulatorTest, EachProfileStartsFromItsOwnSavedCarrierState) {
    const std::wstring dll = SimModem::RegisteredPath();
    const std::string folder(dll.begin(), dll.begin() + static_cast<long>(dll.rfind(L'\\') + 1));
    const std::string oldFirmware = folder + "old-firmware-profile.txt", standard = folder + "default-profile.txt";
    Client client;
    ASSERT_NO_FATAL_FAILURE(client.Open(sink.get()));
    int replies = 0;
    auto send = [&](const char* command) {
        EXPECT_EQ(client.Send(command), S_OK);
        return sink->Reply(++replies);
    };
    auto carrier = [&] { return send("AT+GTCURCAR?\r\n"); };
    auto carrierReply = [](const char* carrier) { return std::string("\r\n+GTCURCAR: ") + carrier + "\r\n\r\nOK\r\n"; };

    EXPECT_EQ(send("AT+GTLOCKCAR=1,20\r\n"), "\r\nOK\r\n");
    ASSERT_TRUE(sim->StartProfile(oldFirmware.c_str()));
    EXPECT_EQ(carrier(), carrierReply("7")) << "its own factory values, not the default modem's state";
    EXPECT_EQ(send("AT+GTMSELCAR=9\r\n"), "\r\nOK\r\n");
    ASSERT_TRUE(sim->StartProfile(standard.c_str()));
    EXPECT_EQ(carrier(), carrierReply("20"));
    ASSERT_TRUE(sim->StartProfile(oldFirmware.c_str()));
    EXPECT_EQ(carrier(), carrierReply("9"));
    ASSERT_TRUE(sim->LoadProfile(oldFirmware.c_str()));  // its factory values, its file removed
    EXPECT_EQ(carrier(), carrierReply("7"));
    client = Client();  // released with its sink still advised: the manager lets it go
    EXPECT_EQ(sink->References(), 1u);
}

}  // namespace
