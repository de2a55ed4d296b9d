#include "MbnObjects.h"

#include <new>

#include "ModemState.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

// No exception leaves a COM method: whatever throws inside (an allocation) is E_OUTOFMEMORY.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// Reference counting and QueryInterface for an object with one interface. Every such object
// counts as live from construction to destruction.
template <typename Derived, typename Interface>
class ComObject : public Interface, private LiveObject {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, Derived::Iid())) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&references_);
        if (left == 0) delete static_cast<Derived*>(this);
        return static_cast<ULONG>(left);
    }

protected:
    ComObject() = default;
    ~ComObject() = default;

private:
    LONG references_ = 1;
};

// Creates an object and hands out the interface asked for; the creation reference goes.
template <typename Object, typename... Args>
HRESULT Make(REFIID iid, void** out, Args... args) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    Object* object = new (std::nothrow) Object(args...);
    if (object == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
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

class MbnInterface final : public ComObject<MbnInterface, IMbnInterface> {
public:
    static const IID& Iid() { return IID_MbnInterface; }
    explicit MbnInterface(int index) : index_(index) {}

    HRESULT STDMETHODCALLTYPE get_InterfaceID(BSTR* interfaceId) override {
        CostScope cost;
        return NewBstr(kInterfaceIds[index_], interfaceId);
    }
    HRESULT STDMETHODCALLTYPE GetReadyState(MBN_READY_STATE* readyState) override {
        CostScope cost;
        if (readyState == nullptr) return E_POINTER;
        // Only the modem is up; the others are there to be skipped.
        *readyState = index_ == 0 ? MBN_READY_STATE_INITIALIZED : MBN_READY_STATE_OFF;
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

class InterfaceManager final : public ComObject<InterfaceManager, IMbnInterfaceManager> {
public:
    static const IID& Iid() { return IID_MbnInterfaceManager; }

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
            IMbnInterface* item = new (std::nothrow) MbnInterface(i);
            if (item == nullptr) return E_OUTOFMEMORY;
            // The array takes its own reference; the creation reference goes right after.
            const HRESULT hr = ::SafeArrayPutElement(array.get(), &i, static_cast<IUnknown*>(item));
            item->Release();
            if (FAILED(hr)) return hr;
        }
        *mbnInterfaces = array.release();
        return S_OK;
    }
};

class DeviceService final : public ComObject<DeviceService, IMbnDeviceService> {
public:
    static const IID& Iid() { return IID_MbnDeviceService; }
    explicit DeviceService(int index) : index_(index) {}

    HRESULT STDMETHODCALLTYPE QuerySupportedCommands(ULONG* requestId) override {
        return Guarded([&] { return Modem().QuerySupportedCommands(this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE OpenCommandSession(ULONG* requestId) override {
        return Guarded([&] { return Modem().OpenSession(ModemState::Session::Command, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE CloseCommandSession(ULONG* requestId) override {
        return Guarded([&] { return Modem().CloseSession(ModemState::Session::Command, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE SetCommand(ULONG commandId, SAFEARRAY* data, ULONG* requestId) override {
        return Guarded([&] { return Modem().Command(ModemState::CommandKind::Set, commandId, data, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE QueryCommand(ULONG commandId, SAFEARRAY* data, ULONG* requestId) override {
        return Guarded(
            [&] { return Modem().Command(ModemState::CommandKind::Query, commandId, data, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE OpenDataSession(ULONG* requestId) override {
        return Guarded([&] { return Modem().OpenSession(ModemState::Session::Data, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE CloseDataSession(ULONG* requestId) override {
        return Guarded([&] { return Modem().CloseSession(ModemState::Session::Data, this, requestId); });
    }
    HRESULT STDMETHODCALLTYPE WriteData(SAFEARRAY* data, ULONG* requestId) override {
        return Guarded([&] { return Modem().WriteData(data, this, requestId); });
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

class DeviceServicesContext final : public ComObject<DeviceServicesContext, IMbnDeviceServicesContext> {
public:
    static const IID& Iid() { return IID_MbnDeviceServicesContext; }
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

// The device services events connection point. It lives inside its manager and shares the
// manager's reference count, as connection points usually do.
class EventsConnectionPoint final : public IConnectionPoint {
public:
    EventsConnectionPoint(IUnknown* owner, IConnectionPointContainer* container)
        : owner_(owner), container_(container) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
            *object = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (iid == nullptr) return E_POINTER;
        *iid = IID_MbnDeviceServicesEvents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override {
        if (container == nullptr) return E_POINTER;
        container_->AddRef();
        *container = container_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        CostScope cost;
        return Guarded([&] { return Modem().Advise(this, sink, cookie); });
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        CostScope cost;
        return Modem().Unadvise(this, cookie);
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override {
        if (connections != nullptr) *connections = nullptr;
        return E_NOTIMPL;
    }

private:
    IUnknown* owner_;
    IConnectionPointContainer* container_;
};

class DeviceServicesManager final : public IMbnDeviceServicesManager,
                                    public IConnectionPointContainer,
                                    private LiveObject {
public:
    DeviceServicesManager() : point_(static_cast<IMbnDeviceServicesManager*>(this), this) {}
    // Sinks still advised on this manager's connection point go with it.
    ~DeviceServicesManager() { Modem().DropSinks(&point_); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_MbnDeviceServicesManager)) {
            *object = static_cast<IMbnDeviceServicesManager*>(this);
        } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
            *object = static_cast<IConnectionPointContainer*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetDeviceServicesContext(BSTR interfaceId, IMbnDeviceServicesContext** context) override {
        CostScope cost;
        if (context == nullptr) return E_POINTER;
        *context = nullptr;
        if (interfaceId == nullptr) return E_INVALIDARG;
        const int index = VisibleInterface(interfaceId);
        if (index < 0) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
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
        point_.AddRef();
        *point = &point_;
        return S_OK;
    }

private:
    LONG references_ = 1;
    EventsConnectionPoint point_;
};

}  // namespace

HRESULT CreateInterfaceManager(REFIID iid, void** object) {
    CostScope cost;
    return Make<InterfaceManager>(iid, object);
}

HRESULT CreateDeviceServicesManager(REFIID iid, void** object) {
    CostScope cost;
    return Make<DeviceServicesManager>(iid, object);
}
