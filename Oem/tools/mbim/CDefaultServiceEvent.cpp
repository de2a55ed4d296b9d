#include "CDefaultServiceEvent.h"

#include <utility>

#include "tools/log/CLog.h"
#include "tools/win/CatchResult.h"
#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

// The service's identifier is asked for as the platform's samples do; only its string is
// freed here, the value is not used.
void TouchServiceId(IMbnDeviceService* deviceService) {
    if (deviceService == nullptr) return;
    ScopedBstr serviceId;
    deviceService->get_DeviceServiceID(serviceId.put());
}

}  // namespace

const InterfaceRow<CDefaultServiceEvent> CDefaultServiceEvent::kInterfaceTable[] = {
    {&IID_MbnDeviceServicesEvents, AsInterface<CDefaultServiceEvent, IMbnDeviceServicesEvents>}, {nullptr, nullptr}};

CDefaultServiceEvent::CDefaultServiceEvent(const MbimWaits& waits, ComPtr<IGlobalTools::ILog> log)
    : log_(log ? std::move(log) : ComPtr<IGlobalTools::ILog>::Adopt(GetSharedLog())), waits_(waits) {}

CDefaultServiceEvent::~CDefaultServiceEvent() = default;

void CDefaultServiceEvent::LetGoOnCallersThread() {
    if (DropReference() != 0) return;
    module_.ReleaseNow();
    delete this;
}

ComPtr<CDefaultServiceEvent> CDefaultServiceEvent::HoldForCallback() {
    AddRef();
    return ComPtr<CDefaultServiceEvent>::Adopt(this);
}

HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnQuerySupportedCommandsComplete(IMbnDeviceService*, SAFEARRAY*,
                                                                                 HRESULT, ULONG) {
    return S_OK;
}

// A failed open or close still wakes the channel: the next platform call decides.
HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnOpenCommandSessionComplete(IMbnDeviceService*, HRESULT status,
                                                                             ULONG) {
    const auto self = HoldForCallback();
    sessionStatus_ = status;
    commandSessionEvent_.Set();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnCloseCommandSessionComplete(IMbnDeviceService*, HRESULT status,
                                                                              ULONG) {
    const auto self = HoldForCallback();
    sessionStatus_ = status;
    commandSessionEvent_.Set();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnSetCommandComplete(IMbnDeviceService* deviceService, ULONG,
                                                                     SAFEARRAY* deviceServiceData, HRESULT status,
                                                                     ULONG requestID) {
    const auto self = HoldForCallback();
    CatchAll([&] {
        TouchServiceId(deviceService);
        MatchAndDeliver(deviceServiceData, status, requestID);
    });
    return S_OK;
}

// The lock covers the stored id and the buffer only: a log line that takes its time (a log
// folder on a share, a scanner) holds up neither the channel nor another completion.
void CDefaultServiceEvent::MatchAndDeliver(SAFEARRAY* deviceServiceData, HRESULT status, ULONG requestID) {
    log_->WriteLog(2, "[Success] OnSetCommandComplete called! Request id is %d.", static_cast<int>(requestID));
    // A completion may overtake SetCommand's return: hold it until the id is stored.
    if (!WaitRequestId()) {
        log_->WriteLog(0, "[Fail] OnSetCommandComplete get RequestId Fail. Current Id Is %d.",
                       static_cast<int>(requestId_.load()));
        return;
    }
    ULONG stored = 0;
    Appended appended;
    {
        ScopedLock lock(replyLock_);
        stored = requestId_.load();
        if (stored == requestID) {
            replyStatus_ = status;
            if (status == S_OK) appended = AppendReply(deviceServiceData);
        }
    }
    if (stored != requestID) {
        log_->WriteLog(2, "[Warning] OnSetCommandComplete called! Request id is %d---%d. Not Match.",
                       static_cast<int>(requestID), static_cast<int>(stored));
        return;
    }
    if (status != S_OK) {
        log_->WriteLog(0, "[Fail]OnSetCommandComplete but Fail! Return state 0x%x", static_cast<unsigned>(status));
    } else {
        LogAppended(appended);
    }
    // Only for the command that is still waiting: one that gave up meanwhile, and the next
    // one, see no reply of this completion's.
    ScopedLock lock(replyLock_);
    if (requestId_.load() == requestID) replyEvent_.Set();
}

HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnQueryCommandComplete(IMbnDeviceService*, ULONG, SAFEARRAY*, HRESULT,
                                                                       ULONG) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnEventNotification(IMbnDeviceService*, ULONG, SAFEARRAY*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnOpenDataSessionComplete(IMbnDeviceService*, HRESULT, ULONG) {
    const auto self = HoldForCallback();
    dataSessionEvent_.Set();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnCloseDataSessionComplete(IMbnDeviceService*, HRESULT, ULONG) {
    const auto self = HoldForCallback();
    dataSessionEvent_.Set();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnWriteDataComplete(IMbnDeviceService*, HRESULT, ULONG) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnReadData(IMbnDeviceService* deviceService,
                                                           SAFEARRAY* deviceServiceData) {
    const auto self = HoldForCallback();
    CatchAll([&] {
        TouchServiceId(deviceService);
        log_->WriteLog(2, "[Success] OnSetCommandComplete called!");
        Appended appended;
        {
            ScopedLock lock(replyLock_);
            appended = AppendReply(deviceServiceData);
        }
        LogAppended(appended);
        replyEvent_.Set();
    });
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDefaultServiceEvent::OnInterfaceStateChange(BSTR, MBN_DEVICE_SERVICES_INTERFACE_STATE) {
    return S_OK;
}

// Called with replyLock_ held. The platform frees the array after the callback returns, so
// its bytes are copied here.
CDefaultServiceEvent::Appended CDefaultServiceEvent::AppendReply(SAFEARRAY* data) {
    SafeArrayBytes bytes(data);
    const bool done = bytes.valid() && CatchResult(false, [&] {
                          reply_.append(bytes.data(), bytes.size());
                          return true;
                      });
    return Appended{done, reply_.size()};
}

void CDefaultServiceEvent::LogAppended(const Appended& appended) {
    if (!appended.done) {
        log_->WriteLog(0, "[Fail] Get At Response Success. Length %d", static_cast<int>(appended.length));
        return;
    }
    log_->WriteLog(2, "[success] Get At Response Success. Length %d", static_cast<int>(appended.length));
}

void CDefaultServiceEvent::ResetForCommand() {
    ScopedLock lock(replyLock_);
    reply_.clear();
    requestId_ = 0;
    replyEvent_.Reset();
    commandSessionEvent_.Reset();
    requestIdEvent_.Reset();
}

void CDefaultServiceEvent::SetRequestId(ULONG id) {
    requestId_ = id;
    requestIdEvent_.Set();
}

DWORD CDefaultServiceEvent::WaitCommandSession() {
    return commandSessionEvent_.Wait(waits_.sessionMs);
}

DWORD CDefaultServiceEvent::WaitDataSession() {
    return dataSessionEvent_.Wait(waits_.sessionMs);
}

DWORD CDefaultServiceEvent::WaitReply(std::string* response) {
    const DWORD result = replyEvent_.Wait(waits_.replyMs);
    ScopedLock lock(replyLock_);
    if (result == WAIT_OBJECT_0) {
        // Swapping hands the bytes over without an allocation that could fail.
        if (response != nullptr) {
            response->clear();
            response->swap(reply_);
        }
        reply_.clear();
    }
    requestId_ = 0;
    requestIdEvent_.Reset();
    return result;
}

bool CDefaultServiceEvent::WaitRequestId() {
    return requestIdEvent_.Wait(waits_.requestIdMs) == WAIT_OBJECT_0;
}
