#include "MbnObjects.h"

#include <olectl.h>

#include <utility>

#include "ModemState.h"
#include "tools/win/CatchResult.h"
#include "tools/win/ComObject.h"
#include "tools/win/ComPtr.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

// One simulator COM object: counted live from construction to destruction.
template <typename Derived, typename... Interfaces>
class SimObject : public ComObject<Derived, Interfaces...>, private LiveObject {};

// Creates an object and hands out the interface asked for; the creation reference goes.
template <typename Object, typename... Args>
HRESULT Make(REFIID iid, void** out, Args... args) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return CatchResult(E_OUTOFMEMORY, [&] {
        const ComPtr<Object> object = ComPtr<Object>::Adopt(new Object(args...));
        return object->QueryInterface(iid, out);
    });
}

HRESULT NewBstr(const wchar_t* text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = ::SysAllocString(text);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The visible interface with this identifier, or -1.
int VisibleInterface(const wchar_t* interfaceId) {
    if (interfaceId == nullptr) return -1;
    const int count = Modem().InterfaceCount();
    for (int i = 0; i < count; ++i) {
        if (_wcsicmp(interfaceId, kInterfaceIds[i]) == 0) return i;
    }
    return -1;
}

class MbnInterface final : public SimObject<MbnInterface, IMbnInterface> {
public:
    static const InterfaceRow<MbnInterface> kInterfaceTable[];
    explicit MbnInterface(int index) : index_(index) {}

    HRESULT STDMETHODCALLTYPE get_InterfaceID(BSTR* interfaceId) override {
        CostScope cost;
        return NewBstr(kInterfaceIds[index_], interfaceId);
    }
    HRESULT STDMETHODCALLTYPE GetReadyState(MBN_READY_STATE* readyState) override {
        CostScope cost;
        if (readyState == nullptr) return E_POINTER;
        // Only the modem is up, unless a fault says otherwise; the others are there to be skipped.
        *readyState = index_ == 0 && Modem().InterfaceReady() ? MBN_READY_STATE_INITIALIZED : MBN_READY_STATE_OFF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetInterfaceCapability(MBN_INTERFACE_CAPS*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSubscriberInformation(IMbnSubscriberInformation** info) override {
        return Nothing(info);
    }
    HRESULT STDMETHODCALLTYPE InEmergencyMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHomeProvider(MBN_PROVIDER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPreferredProviders(SAFEARRAY** providers) override { return Nothing(providers); }
    HRESULT STDMETHODCALLTYPE SetPreferredProviders(SAFEARRAY*, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVisibleProviders(ULONG*, SAFEARRAY** providers) override { return Nothing(providers); }
    HRESULT STDMETHODCALLTYPE ScanNetwork(ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnection(IMbnConnection** connection) override { return Nothing(connection); }

private:
    template <typename T>
    static HRESULT Nothing(T** out) {
        if (out != nullptr) *out = nullptr;
        return E_NOTIMPL;
    }

    int index_;
};

class InterfaceManager final : public SimObject<InterfaceManager, IMbnInterfaceManager> {
public:
    static const InterfaceRow<InterfaceManager> kInterfaceTable[];

    HRESULT STDMETHODCALLTYPE GetInterface(LPCWSTR interfaceId, IMbnInterface** mbnInterface) override {
        CostScope cost;
        if (mbnInterface == nullptr) return E_POINTER;
        *mbnInterface = nullptr;
        const int index = VisibleInterface(interfaceId);
        if (index < 0) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        return Make<MbnInterface>(IID_MbnInterface, reinterpret_cast<void**>(mbnInterface), index);
    }

    HRESULT STDMETHODCALLTYPE GetInterfaces(SAFEARRAY** mbnInterfaces) override {
        CostScope cost;
        if (mbnInterfaces == nullptr) return E_POINTER;
        *mbnInterfaces = nullptr;
        const int count = Modem().InterfaceCount();
        ScopedSafeArray array(::SafeArrayCreateVector(VT_UNKNOWN, 0, static_cast<ULONG>(count)));
        if (!array.get()) return E_OUTOFMEMORY;
        for (LONG i = 0; i < count; ++i) {
            // The array takes its own reference; the creation reference goes right after.
            ComPtr<IMbnInterface> item;
            const HRESULT made = Make<MbnInterface>(IID_MbnInterface, item.put_void(), static_cast<int>(i));
            if (FAILED(made)) return made;
            const HRESULT hr = ::SafeArrayPutElement(array.get(), &i, item.get());
            if (FAILED(hr)) return hr;
        }
        *mbnInterfaces = array.release();
        return S_OK;
    }
};

class DeviceService final : public SimObject<DeviceService, IMbnDeviceService> {
public:
    static const InterfaceRow<DeviceService> kInterfaceTable[];
    explicit DeviceService(int index) : index_(index) {}

    HRESULT STDMETHODCALLTYPE QuerySupportedCommands(ULONG* requestId) override {
        return CatchResult(E_OUTOFMEMORY, [&] { return Modem().QuerySupportedCommands(this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE OpenCommandSession(ULONG* requestId) override {
        return CatchResult(E_OUTOFMEMORY,
                           [&] { return Modem().OpenSession(ModemState::Session::Command, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE CloseCommandSession(ULONG* requestId) override {
        return CatchResult(E_OUTOFMEMORY,
                           [&] { return Modem().CloseSession(ModemState::Session::Command, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE SetCommand(ULONG commandId, SAFEARRAY* data, ULONG* requestId) override {
        return CatchResult(E_OUTOFMEMORY, [&] {
            return Modem().Command(ModemState::CommandKind::Set, commandId, data, this, requestId);
        });
    }
    HRESULT STDMETHODCALLTYPE QueryCommand(ULONG commandId, SAFEARRAY* data, ULONG* requestId) override {
        return CatchResult(E_OUTOFMEMORY, [&] {
            return Modem().Command(ModemState::CommandKind::Query, commandId, data, this, requestId);
        });
    }
    HRESULT STDMETHODCALLTYPE OpenDataSession(ULONG* requestId) override {
        return CatchResult(E_OUTOFMEMORY,
                           [&] { return Modem().OpenSession(ModemState::Session::Data, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE CloseDataSession(ULONG* requestId) override {
        return CatchResult(E_OUTOFMEMORY,
                           [&] { return Modem().CloseSession(ModemState::Session::Data, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE WriteData(SAFEARRAY* data, ULONG* requestId) override {
        return CatchResult(E_OUTOFMEMORY, [&] { return Modem().WriteData(data, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE get_InterfaceID(BSTR* interfaceId) override {
        CostScope cost;
        return NewBstr(kInterfaceIds[index_], interfaceId);
    }
    HRESULT STDMETHODCALLTYPE get_DeviceServiceID(BSTR* deviceServiceId) override {
        CostScope cost;
        return NewBstr(kAtServiceId, deviceServiceId);
    }
    HRESULT STDMETHODCALLTYPE get_IsCommandSessionOpen(BOOL* value) override {
        return IsOpen(ModemState::Session::Command, value);
    }
    HRESULT STDMETHODCALLTYPE get_IsDataSessionOpen(BOOL* value) override {
        return IsOpen(ModemState::Session::Data, value);
    }

private:
    static HRESULT IsOpen(ModemState::Session session, BOOL* value) {
        CostScope cost;
        if (value == nullptr) return E_POINTER;
        *value = Modem().IsSessionOpen(session) ? TRUE : FALSE;
        return S_OK;
    }

    int index_;
};

class DeviceServicesContext final : public SimObject<DeviceServicesContext, IMbnDeviceServicesContext> {
public:
    static const InterfaceRow<DeviceServicesContext> kInterfaceTable[];
    explicit DeviceServicesContext(int index) : index_(index) {}

    // The element type of this array is undocumented; nothing here needs it.
    HRESULT STDMETHODCALLTYPE EnumerateDeviceServices(SAFEARRAY** deviceServices) override {
        if (deviceServices != nullptr) *deviceServices = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceService(BSTR deviceServiceId, IMbnDeviceService** service) override {
        CostScope cost;
        if (service == nullptr) return E_POINTER;
        *service = nullptr;
        if (deviceServiceId == nullptr) return E_INVALIDARG;
        if (!Modem().ServiceAvailable(index_) || _wcsicmp(deviceServiceId, kAtServiceId) != 0) {
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        }
        return Make<DeviceService>(IID_MbnDeviceService, reinterpret_cast<void**>(service), index_);
    }
    HRESULT STDMETHODCALLTYPE get_MaxCommandSize(ULONG* size) override { return MaxSize(size); }
    HRESULT STDMETHODCALLTYPE get_MaxDataSize(ULONG* size) override { return MaxSize(size); }

private:
    static HRESULT MaxSize(ULONG* size) {
        if (size == nullptr) return E_POINTER;
        *size = kMaxCommandSize;
        return S_OK;
    }

    int index_;
};

class DeviceServicesManager;

// The device services events connection point, a separate object as the platform's is. It
// holds its manager, under whose name the sinks advised on it are kept, so they go with it.
class EventsConnectionPoint final : public SimObject<EventsConnectionPoint, IConnectionPoint> {
public:
    static const InterfaceRow<EventsConnectionPoint> kInterfaceTable[];
    explicit EventsConnectionPoint(ComPtr<IConnectionPointContainer> container, const void* owner)
        : container_(std::move(container)), owner_(owner) {}

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (iid == nullptr) return E_POINTER;
        *iid = IID_MbnDeviceServicesEvents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override {
        if (container == nullptr) return E_POINTER;
        ComPtr<IConnectionPointContainer> copy = container_;
        *container = copy.release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        CostScope cost;
        return CatchResult(E_OUTOFMEMORY, [&] { return Modem().sinks().Advise(owner_, sink, cookie); });
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        CostScope cost;
        return Modem().sinks().Unadvise(owner_, cookie);
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override {
        if (connections != nullptr) *connections = nullptr;
        return E_NOTIMPL;
    }

private:
    ComPtr<IConnectionPointContainer> container_;
    const void* owner_;
};

class DeviceServicesManager final
    : public SimObject<DeviceServicesManager, IMbnDeviceServicesManager, IConnectionPointContainer> {
public:
    static const InterfaceRow<DeviceServicesManager> kInterfaceTable[];
    // Sinks still advised on this manager's connection point go with it.
    ~DeviceServicesManager() override { Modem().sinks().DropOwner(this); }

    HRESULT STDMETHODCALLTYPE GetDeviceServicesContext(BSTR interfaceId, IMbnDeviceServicesContext** context) override {
        CostScope cost;
        if (context == nullptr) return E_POINTER;
        *context = nullptr;
        if (interfaceId == nullptr) return E_INVALIDARG;
        const int index = VisibleInterface(interfaceId);
        if (index < 0 || !Modem().Effect().contextFound) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        return Make<DeviceServicesContext>(IID_MbnDeviceServicesContext, reinterpret_cast<void**>(context), index);
    }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override {
        if (points != nullptr) *points = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        CostScope cost;
        if (point == nullptr) return E_POINTER;
        *point = nullptr;
        if (!IsEqualIID(iid, IID_MbnDeviceServicesEvents)) return CONNECT_E_NOCONNECTION;
        AddRef();
        ComPtr<IConnectionPointContainer> self = ComPtr<IConnectionPointContainer>::Adopt(this);
        return Make<EventsConnectionPoint>(IID_IConnectionPoint, reinterpret_cast<void**>(point), self,
                                           static_cast<const void*>(this));
    }
};

const InterfaceRow<MbnInterface> MbnInterface::kInterfaceTable[] = {
    {&IID_MbnInterface, AsInterface<MbnInterface, IMbnInterface>}, {}};
const InterfaceRow<InterfaceManager> InterfaceManager::kInterfaceTable[] = {
    {&IID_MbnInterfaceManager, AsInterface<InterfaceManager, IMbnInterfaceManager>}, {}};
const InterfaceRow<DeviceService> DeviceService::kInterfaceTable[] = {
    {&IID_MbnDeviceService, AsInterface<DeviceService, IMbnDeviceService>}, {}};
const InterfaceRow<DeviceServicesContext> DeviceServicesContext::kInterfaceTable[] = {
    {&IID_MbnDeviceServicesContext, AsInterface<DeviceServicesContext, IMbnDeviceServicesContext>}, {}};
const InterfaceRow<EventsConnectionPoint> EventsConnectionPoint::kInterfaceTable[] = {
    {&IID_IConnectionPoint, AsInterface<EventsConnectionPoint, IConnectionPoint>}, {}};
const InterfaceRow<DeviceServicesManager> DeviceServicesManager::kInterfaceTable[] = {
    {&IID_MbnDeviceServicesManager, AsInterface<DeviceServicesManager, IMbnDeviceServicesManager>},
    {&IID_IConnectionPointContainer, AsInterface<DeviceServicesManager, IConnectionPointContainer>},
    {}};

}  // namespace

HRESULT CreateInterfaceManager(REFIID iid, void** object) {
    CostScope cost;
    return Make<InterfaceManager>(iid, object);
}

HRESULT CreateDeviceServicesManager(REFIID iid, void** object) {
    CostScope cost;
    return Make<DeviceServicesManager>(iid, object);
}
