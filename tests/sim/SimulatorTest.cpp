// What the simulated modem does that no end-to-end test shows: a waiting completion keeps it
// loaded, Advise asks the sink for the events interface, each profile finds its own saved state.
#include <gtest/gtest.h>

#include <olectl.h>

#include <atomic>
#include <string>

#include "platform/MbnApi.h"
#include "support/HostKit.h"
#include "support/TestKit.h"
#include "tools/win/ComObject.h"
#include "tools/win/ComPtr.h"
#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedComInit.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

// Named before the simulator loads, so that this program's saved states are its own.
const bool kStateFileNamed =
    ::SetEnvironmentVariableA("OEMSIM_STATE", (TestFiles::ExecutableFolder() + "modem-state.txt").c_str()) != 0;

// Keeps the command replies. Its IUnknown is not its events interface: Advise must ask, not cast.
struct Identity : IUnknown {};
class Sink final : public ComObject<Sink, Identity, IMbnDeviceServicesEvents> {
    using Svc = IMbnDeviceService;
    using Array = SAFEARRAY;
    using State = MBN_DEVICE_SERVICES_INTERFACE_STATE;

public:
    static const InterfaceRow<Sink> kInterfaceTable[];
    ULONG References() {
        AddRef();
        return Release();
    }

    // The reply to the count-th command, waiting a while for it; commands go one at a time.
    std::string Reply(size_t count) {
        return WaitUntil([&] { return received_ >= count; }, 5000) ? last_ : "none";
    }

    HRESULT STDMETHODCALLTYPE OnSetCommandComplete(Svc*, ULONG, Array* data, HRESULT, ULONG) override {
        SafeArrayBytes bytes(data);
        last_.assign(bytes.valid() ? bytes.data() : "", bytes.valid() ? bytes.size() : 0);
        ++received_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnOpenCommandSessionComplete(Svc*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnCloseCommandSessionComplete(Svc*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnQuerySupportedCommandsComplete(Svc*, Array*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnQueryCommandComplete(Svc*, ULONG, Array*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnEventNotification(Svc*, ULONG, Array*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnOpenDataSessionComplete(Svc*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnCloseDataSessionComplete(Svc*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnWriteDataComplete(Svc*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnReadData(Svc*, Array*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInterfaceStateChange(BSTR, State) override { return S_OK; }

private:
    std::string last_;  // published by received_
    std::atomic<size_t> received_{0};
};
const InterfaceRow<Sink> Sink::kInterfaceTable[] = {
    {&IID_IUnknown, AsInterface<Sink, Identity>},
    {&IID_MbnDeviceServicesEvents, AsInterface<Sink, IMbnDeviceServicesEvents>},
    {}};

// A command to the AT service of the first interface, whose session the tests find open.
HRESULT Send(IMbnDeviceServicesManager* services, const std::string& command) {
    ComPtr<IMbnDeviceServicesContext> context;
    ComPtr<IMbnDeviceService> service;
    ScopedBstr interfaceId(L"{5C3A2E10-7B1D-4E6F-9A8B-0C1D2E3F4A01}"),
        serviceId(L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}");
    ScopedSafeArray bytes = MakeByteArray(command.data(), command.size());
    ULONG id = 0;
    HRESULT result = services->GetDeviceServicesContext(interfaceId.get(), context.put());
    if (SUCCEEDED(result)) result = context->GetDeviceService(serviceId.get(), service.put());
    return SUCCEEDED(result) ? service->SetCommand(1, bytes.get(), &id) : result;
}

TEST(Simulator, AdviseAsksForTheEventsInterfaceAndEachProfileFindsItsOwnSavedState) {
    ScopedComInit com;
    ASSERT_TRUE(SUCCEEDED(com.Initialize(COINIT_MULTITHREADED)));
    SimModem sim;
    ASSERT_TRUE(kStateFileNamed && sim.loaded()) << "the simulated modem is not registered in this prefix";
    sim->Reset();
    sim->SetFault(SimFault::SessionAlreadyOpen);
    ComPtr<Sink> sink = ComPtr<Sink>::Adopt(new Sink);
    ComPtr<IMbnDeviceServicesManager> services;
    ASSERT_EQ(::CoCreateInstance(CLSID_MbnDeviceServicesManagerClass, nullptr, CLSCTX_ALL, IID_MbnDeviceServicesManager,
                                 services.put_void()),
              S_OK);
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(services->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
    ASSERT_EQ(container->FindConnectionPoint(IID_MbnDeviceServicesEvents, point.put()), S_OK);
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(container.get(), &cookie), CONNECT_E_CANNOTCONNECT) << "no events interface";
    ASSERT_EQ(point->Advise(static_cast<Identity*>(sink.get()), &cookie), S_OK);
    EXPECT_EQ(sink->References(), 2u) << "ours and the one the connection point keeps";
    size_t replies = 0;
    auto send = [&](const char* command) {
        EXPECT_EQ(Send(services.get(), command), S_OK);
        return sink->Reply(++replies);
    };
    const std::string oldFirmware = SimModem::Folder() + "old-firmware-profile.txt";
    EXPECT_EQ(send("AT+GTLOCKCAR=1,20\r\n"), "\r\nOK\r\n");
    ASSERT_TRUE(sim->StartProfile(oldFirmware.c_str()));
    EXPECT_EQ(send("AT+GTCURCAR?\r\n"), "\r\n+GTCURCAR: 7\r\n\r\nOK\r\n") << "its own factory values";
    EXPECT_EQ(send("AT+GTMSELCAR=9\r\n"), "\r\nOK\r\n");
    ASSERT_TRUE(sim->StartProfile((SimModem::Folder() + "default-profile.txt").c_str()));
    EXPECT_EQ(send("AT+GTCURCAR?\r\n"), "\r\n+GTCURCAR: 20\r\n\r\nOK\r\n");
    ASSERT_TRUE(sim->StartProfile(oldFirmware.c_str()));
    EXPECT_EQ(send("AT+GTCURCAR?\r\n"), "\r\n+GTCURCAR: 9\r\n\r\nOK\r\n");
    ASSERT_TRUE(sim->LoadProfile(oldFirmware.c_str()));  // its factory values, its file removed
    EXPECT_EQ(send("AT+GTCURCAR?\r\n"), "\r\n+GTCURCAR: 7\r\n\r\nOK\r\n");
    container.reset(), point.reset(), services.reset();  // its sink still advised
    EXPECT_EQ(sink->References(), 1u) << "the manager lets the sink go";
    EXPECT_EQ(sim->AdvisedSinks(), 0);
    EXPECT_TRUE(WaitUntil([&] { return sim->LiveObjects() == 0; }, 5000)) << sim->LiveObjects();
}

}  // namespace
