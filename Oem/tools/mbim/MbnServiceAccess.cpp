#include "MbnServiceAccess.h"

#include "tools/win/CatchResult.h"
#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

unsigned Hex(HRESULT hr) {
    return static_cast<unsigned>(hr);
}

}  // namespace

HRESULT MbnInterfaceAt(SAFEARRAY* interfaces, LONG index, ComPtr<IMbnInterface>* found) {
    found->reset();
    // Only an array of interface pointers may be read into one: any other element could be
    // larger than the pointer it is copied into.
    if (::SafeArrayGetDim(interfaces) != 1 || (interfaces->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) == 0 ||
        interfaces->cbElements != sizeof(IUnknown*)) {
        return DISP_E_BADVARTYPE;
    }
    ComPtr<IUnknown> element;
    const HRESULT hr = ::SafeArrayGetElement(interfaces, &index, element.put());
    if (FAILED(hr)) return hr;
    // The element is asked for the interface rather than trusted to be one.
    return element ? element->QueryInterface(IID_MbnInterface, found->put_void()) : E_NOINTERFACE;
}

HRESULT AdviseServiceEvents(IMbnDeviceServicesManager* manager, IMbnDeviceServicesEvents* sink,
                            ComPtr<IConnectionPoint>* connectionPoint, DWORD* cookie) {
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = manager->QueryInterface(IID_IConnectionPointContainer, container.put_void());
    if (hr != S_OK) return hr;
    if (!container) return E_NOINTERFACE;
    hr = container->FindConnectionPoint(IID_MbnDeviceServicesEvents, connectionPoint->put());
    if (hr != S_OK) return hr;
    if (!*connectionPoint) return E_NOINTERFACE;
    hr = (*connectionPoint)->Advise(sink, cookie);
    return FAILED(hr) ? hr : S_OK;
}

MbnServiceAccess::MbnServiceAccess(IGlobalTools::ILog* log, const MbimWaits& waits) : log_(log), waits_(waits) {}

HRESULT MbnServiceAccess::Open() {
    // Opened and connected already: a second Open would advise a second sink.
    if (sink_ != nullptr) return S_OK;

    // After a failed Open, COM started by the first attempt is not started a second time, so
    // that Release ends it exactly once.
    if (!com_.initialized()) {
        const HRESULT hr = com_.Initialize(COINIT_MULTITHREADED);
        if (FAILED(hr)) {
            log_->WriteLog(0, "[error]Open() COM Initialize failed");
            return hr;
        }
    }

    HRESULT hr = ::CoCreateInstance(CLSID_MbnInterfaceManagerClass, nullptr, CLSCTX_ALL, IID_MbnInterfaceManager,
                                    interfaceManager_.put_void());
    if (FAILED(hr)) {
        log_->WriteLog(0, "[error]Open() failed: IID_IMbnInterfaceManager");
        return hr;
    }

    hr = ::CoCreateInstance(CLSID_MbnDeviceServicesManagerClass, nullptr, CLSCTX_ALL, IID_MbnDeviceServicesManager,
                            servicesManager_.put_void());
    if (!servicesManager_) {
        log_->WriteLog(0, "[error]Open() failed: IID_IMbnDeviceServicesManager");
        // That call's result, even a success without an object: the channel then has no sink,
        // and every command fails at its device services context.
        return hr;
    }

    // The record is allocated before Advise so that keeping a connected sink cannot fail. A
    // sink whose connection fails is released here with its creation reference.
    std::list<AdviseRecord> pending(1);
    ComPtr<CDefaultServiceEvent> sink = ComPtr<CDefaultServiceEvent>::Adopt(new CDefaultServiceEvent(waits_));
    auto connectFailed = [this](HRESULT result) {
        log_->WriteLog(0, "[error]Open() failed: IID_IMbnDeviceServicesEventsp hResult = %x", Hex(result));
        return result;
    };

    ComPtr<IConnectionPoint> connectionPoint;
    DWORD cookie = 0;
    hr = AdviseServiceEvents(servicesManager_.get(), sink.get(), &connectionPoint, &cookie);
    if (hr != S_OK) {
        sink.release()->LetGoOnCallersThread();
        return connectFailed(hr);
    }

    sink_ = sink.get();
    AdviseRecord& record = pending.front();
    record.sink = std::move(sink);
    record.connectionPoint = std::move(connectionPoint);
    record.cookie = cookie;
    ScopedLock lock(lock_);
    adviseList_.splice(adviseList_.end(), pending);
    return S_OK;
}

ComPtr<IMbnInterface> MbnServiceAccess::GetFirstInterface() {
    ComPtr<IMbnInterface> first;
    ScopedSafeArray interfaces;
    // Without Open there is no manager to ask; that reads as a failed GetInterfaces.
    const HRESULT listed = interfaceManager_ ? interfaceManager_->GetInterfaces(interfaces.put()) : E_POINTER;
    if (FAILED(listed)) {
        log_->WriteLog(0, "[error]GetFirstInterface(): GetInterfaces hr=0x%x", Hex(listed));
        return first;
    }

    SAFEARRAY* array = interfaces.get();
    LONG lower = 0;
    LONG upper = -1;
    if (array == nullptr || FAILED(::SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(::SafeArrayGetUBound(array, 1, &upper)) || lower > upper) {
        return first;  // no interface
    }

    HRESULT hr = MbnInterfaceAt(array, lower, &first);
    if (FAILED(hr) || !first) {
        log_->WriteLog(0, "[error]GetFirstInterface(): SafeArrayGetElement hr=0x%x", Hex(FAILED(hr) ? hr : E_POINTER));
        first.reset();
        return first;
    }

    // The ready state is only reported: the interface is used whatever its state.
    MBN_READY_STATE readyState = MBN_READY_STATE_OFF;
    hr = first->GetReadyState(&readyState);
    if (FAILED(hr)) {
        log_->WriteLog(0, "[error]GetFirstInterface(): GetReadyState hr=0x%x", Hex(hr));
    } else {
        log_->WriteLog(0, "[ok]GetFirstInterface(): readyState=%d", static_cast<int>(readyState));
    }
    return first;
}

bool MbnServiceAccess::AcquireService(const wchar_t* serviceId) {
    ScopedBstr service(serviceId);

    interface_ = GetFirstInterface();
    if (!interface_) {
        log_->WriteLog(0, "[error]GetFirstInterface() error! pMbnInterface == NULL");
        return false;
    }

    ScopedBstr interfaceId;
    HRESULT hr = interface_->get_InterfaceID(interfaceId.put());
    if (FAILED(hr)) {
        log_->WriteLog(0, "[error]SendData() error! get_InterfaceID() hr=0x%x", Hex(hr));
        return false;
    }

    hr = servicesManager_ ? servicesManager_->GetDeviceServicesContext(interfaceId.get(), context_.put()) : E_POINTER;
    if (!context_) {
        log_->WriteLog(0, "[error]SendData() error! NULL == pMbnDeviceServicesContext hr=0x%x", Hex(hr));
        return false;
    }

    hr = context_->GetDeviceService(service.get(), service_.put());
    if (!service_) {
        log_->WriteLog(0, "[error]SendData() error! NULL == deviceService hr=0x%x", Hex(hr));
        return false;
    }
    return true;
}

void MbnServiceAccess::ReleaseService() {
    service_.reset();
    context_.reset();
    interface_.reset();
}

void MbnServiceAccess::Close() {
    CatchAll([this] { Disconnect(); });
    sink_ = nullptr;
    servicesManager_.reset();
    interfaceManager_.reset();
    context_.reset();
    service_.reset();
    interface_.reset();  // held only when a session was opened by hand and not closed
    com_.Uninitialize();
}

// The platform may still hold a sink after Unadvise, and call it: the sink keeps itself and
// this module alive for as long as it needs them. One the platform let go of ends here.
void MbnServiceAccess::Disconnect() {
    ScopedLock lock(lock_);
    while (!adviseList_.empty()) {
        AdviseRecord& record = adviseList_.front();
        if (record.connectionPoint) record.connectionPoint->Unadvise(record.cookie);
        if (record.sink) record.sink.release()->LetGoOnCallersThread();
        record.connectionPoint.reset();
        adviseList_.pop_front();
    }
}
