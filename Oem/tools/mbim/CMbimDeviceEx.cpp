#include "CMbimDeviceEx.h"

#include "tools/log/CLog.h"
#include "tools/win/CatchResult.h"
#include "tools/win/ScopedBstr.h"

namespace {

// No exception leaves an interface operation: running out of memory is the generic failure,
// as any failure that is not a platform call's own.
constexpr HRESULT kThrew = E_FAIL;

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

CMbimDeviceEx::CMbimDeviceEx(const MbimWaits& waits)
    : log_(ComPtr<IGlobalTools::ILog>::Adopt(GetSharedLog())), waits_(waits) {}

CMbimDeviceEx::~CMbimDeviceEx() = default;

HRESULT CMbimDeviceEx::Open() {
    return CatchResult(kThrew, [this] { return OpenImpl(); });
}

HRESULT CMbimDeviceEx::OpenImpl() {
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

ComPtr<IMbnInterface> CMbimDeviceEx::GetFirstInterface() {
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

bool CMbimDeviceEx::AcquireService(const wchar_t* serviceId) {
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

// Every line here is written at level 0, the success lines included. On failure the state
// stays as it was and the objects obtained stay held until CloseSession.
HRESULT CMbimDeviceEx::OpenServiceSession(const wchar_t* serviceId, SessionKind kind) {
    if (!AcquireService(serviceId)) return E_FAIL;

    BOOL open = FALSE;
    if (kind == SessionKind::Command) {
        service_->get_IsCommandSessionOpen(&open);
    } else {
        service_->get_IsDataSessionOpen(&open);
    }
    if (open) {
        log_->WriteLog(0, "[Success] Session is Opend ");
        if (kind == SessionKind::Command) {
            commandSessionState_ = kFoundOpen;
        } else {
            dataSessionOpen_ = 1;
        }
        return S_OK;
    }

    log_->WriteLog(0, "[?]SendData(): FALSE == IsCommandSessionOpened");
    ULONG requestId = 0;
    const HRESULT hr =
        kind == SessionKind::Command ? service_->OpenCommandSession(&requestId) : service_->OpenDataSession(&requestId);
    if (hr != S_OK) {
        log_->WriteLog(0, "[error] OpenCommandSession(): 0 == requestID");
        return E_FAIL;
    }
    if (WaitSession(kind) != WAIT_OBJECT_0) {
        log_->WriteLog(0, "[error] GetSessionRlt Fail");
        return E_FAIL;
    }
    log_->WriteLog(0, "[Success] Open Session Success");
    if (kind == SessionKind::Command) {
        commandSessionState_ = kOpenedHere;
    } else {
        dataSessionOpen_ = 1;
    }
    return S_OK;
}

HRESULT CMbimDeviceEx::OpenSession(const wchar_t* serviceId) {
    return CatchResult(kThrew, [&] { return OpenServiceSession(serviceId, SessionKind::Command); });
}

HRESULT CMbimDeviceEx::OpenDataSession(const wchar_t* serviceId) {
    return CatchResult(kThrew, [&] { return OpenServiceSession(serviceId, SessionKind::Data); });
}

HRESULT CMbimDeviceEx::ExecuteCmd(const char* command, std::uint32_t length, std::string* response,
                                  IGlobalTools::IAtParser* parser, const wchar_t* serviceId, std::uint32_t commandId) {
    const HRESULT hr =
        CatchResult(kThrew, [&] { return ExecuteSteps(command, length, response, parser, serviceId, commandId); });
    CloseSession();  // always, also when the session did not open
    return hr;
}

HRESULT CMbimDeviceEx::ExecuteSteps(const char* command, std::uint32_t length, std::string* response,
                                    IGlobalTools::IAtParser* parser, const wchar_t* serviceId,
                                    std::uint32_t commandId) {
    if (sink_ != nullptr) sink_->ResetForCommand();

    HRESULT hr = OpenSession(serviceId);
    if (hr != S_OK) {
        log_->WriteLog(0, "[Fail]OpenSession Fail hr = 0x%x", Hex(hr));
        return hr;
    }
    log_->WriteLog(2, "[Success] OpenSession success hr = 0x%x", Hex(hr));

    ULONG requestId = 0;
    {
        ScopedSafeArray bytes = CharBufferToSafeArray(command, length);
        hr = service_->SetCommand(commandId, bytes.get(), &requestId);
    }
    if (FAILED(hr)) {
        log_->WriteLog(0, "[Fail]SendData(): SetCommand hr = 0x%x", Hex(hr));
        return hr;
    }
    if (sink_ != nullptr) sink_->SetRequestId(requestId);
    log_->WriteLog(2, "[success]SetCommand success. Request Id is %d", static_cast<int>(requestId));

    if (ReceiveReply(response) != S_OK) {
        log_->WriteLog(0, "[Fail] Wait SetCommand Fail \r\n");
        return E_FAIL;
    }
    if (parser != nullptr && response != nullptr) {
        std::string payload;
        parser->ExtractPayload(response->data(), static_cast<std::uint32_t>(response->size()), &payload);
        *response = std::move(payload);
    }
    log_->WriteLog(2, "[success]Get Command Response success \r\n");
    return S_OK;
}

ScopedSafeArray CMbimDeviceEx::CharBufferToSafeArray(const char* data, std::uint32_t length) {
    // Without bytes to read nothing is copied: an empty command is sent instead.
    ScopedSafeArray array = MakeByteArray(data, data ? length : 0);
    if (!array.get()) log_->WriteLog(0, "[?]CharBufferToSafeArray(): NULL == psa ");
    return array;
}

HRESULT CMbimDeviceEx::SendData(const char* data, std::uint32_t length, std::uint32_t commandId) {
    return CatchResult(kThrew, [&] {
        // After CloseSession of a session found open the state stays 2 but the service is gone:
        // without a service held the session counts as not open.
        if (commandSessionState_ == kNoSession || !service_) {
            log_->WriteLog(0, "[Fail]Session is not open!");
            return E_FAIL;
        }
        ULONG requestId = 0;
        ScopedSafeArray bytes = CharBufferToSafeArray(data, length);
        const HRESULT hr = service_->SetCommand(commandId, bytes.get(), &requestId);
        if (FAILED(hr)) {
            log_->WriteLog(0, "[?]SendData(): SetCommand hr = 0x%x", Hex(hr));
        } else if (sink_ != nullptr) {
            sink_->SetRequestId(requestId);
        }
        return hr;
    });
}

HRESULT CMbimDeviceEx::ReceiveReply(std::string* response) {
    if (sink_ == nullptr) return E_FAIL;
    return sink_->WaitReply(response) == WAIT_OBJECT_0 ? S_OK : E_FAIL;
}

HRESULT CMbimDeviceEx::Recvmsg(std::string* response) {
    return CatchResult(kThrew, [&] {
        // As in SendData: no service held, no session.
        if (commandSessionState_ == kNoSession || !service_) {
            log_->WriteLog(0, "[Fail]Recvmsg Session is not open!");
            return E_FAIL;
        }
        return ReceiveReply(response);
    });
}

HRESULT CMbimDeviceEx::RecvDataMsg(std::string* response) {
    return CatchResult(kThrew, [&] {
        if (dataSessionOpen_ == 0 || !service_) {
            log_->WriteLog(0, "[Fail]Recvmsg Session is not open!");
            return E_FAIL;
        }
        return ReceiveReply(response);
    });
}

DWORD CMbimDeviceEx::WaitSession(SessionKind kind) {
    if (sink_ == nullptr) return WAIT_FAILED;
    return kind == SessionKind::Command ? sink_->WaitCommandSession() : sink_->WaitDataSession();
}

// A session found open belongs to whoever opened it and is not closed here.
void CMbimDeviceEx::CloseSession() {
    if (commandSessionState_ == kOpenedHere && service_) {
        CloseServiceSession(SessionKind::Command);
        commandSessionState_ = kNoSession;
    }
    ReleaseServiceObjects();
}

void CMbimDeviceEx::CloseDataSession() {
    if (dataSessionOpen_ != 0 && service_) {
        CloseServiceSession(SessionKind::Data);
        dataSessionOpen_ = 0;
    }
    ReleaseServiceObjects();
}

// The close's own outcome is not examined: the service objects are let go either way.
void CMbimDeviceEx::CloseServiceSession(SessionKind kind) noexcept {
    // A log line that cannot be written must not keep the session's objects alive.
    CatchAll([&] {
        ULONG requestId = 0;
        const HRESULT hr = kind == SessionKind::Command ? service_->CloseCommandSession(&requestId)
                                                        : service_->CloseDataSession(&requestId);
        if (hr != S_OK) {
            log_->WriteLog(0, "[?]SendData(): CloseCommandSession hr = 0x%x", Hex(hr));
        } else {
            WaitSession(kind);
        }
    });
}

void CMbimDeviceEx::ReleaseServiceObjects() {
    service_.reset();
    context_.reset();
    interface_.reset();
}

void CMbimDeviceEx::Release() {
    CatchAll([this] { Disconnect(); });
    sink_ = nullptr;
    servicesManager_.reset();
    interfaceManager_.reset();
    context_.reset();
    service_.reset();
    interface_.reset();  // held only when a session was opened by hand and not closed
    com_.Uninitialize();
    delete this;
}

// The platform may still hold a sink after Unadvise, and call it: the sink keeps itself and
// this module alive for as long as it needs them. One the platform let go of ends here.
void CMbimDeviceEx::Disconnect() {
    ScopedLock lock(lock_);
    while (!adviseList_.empty()) {
        AdviseRecord& record = adviseList_.front();
        if (record.connectionPoint) record.connectionPoint->Unadvise(record.cookie);
        if (record.sink) record.sink.release()->LetGoOnCallersThread();
        record.connectionPoint.reset();
        adviseList_.pop_front();
    }
}
