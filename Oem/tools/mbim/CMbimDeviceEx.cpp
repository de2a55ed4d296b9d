#include "CMbimDeviceEx.h"

#include "tools/log/CLog.h"
#include "tools/win/CatchResult.h"

namespace {

// No exception leaves an interface operation: running out of memory is the generic failure,
// as any failure that is not a platform call's own.
constexpr HRESULT kThrew = E_FAIL;

unsigned Hex(HRESULT hr) {
    return static_cast<unsigned>(hr);
}

}  // namespace

CMbimDeviceEx::CMbimDeviceEx(const MbimWaits& waits)
    : log_(ComPtr<IGlobalTools::ILog>::Adopt(GetSharedLog())), platform_(log_.get(), waits) {}

CMbimDeviceEx::~CMbimDeviceEx() = default;

HRESULT CMbimDeviceEx::Open() {
    return CatchResult(kThrew, [this] { return platform_.Open(); });
}

// Every line here is written at level 0, the success lines included. On failure the state
// stays as it was and the objects obtained stay held until CloseSession.
HRESULT CMbimDeviceEx::OpenServiceSession(const wchar_t* serviceId, SessionKind kind) {
    if (!platform_.AcquireService(serviceId)) return E_FAIL;

    BOOL open = FALSE;
    if (kind == SessionKind::Command) {
        service()->get_IsCommandSessionOpen(&open);
    } else {
        service()->get_IsDataSessionOpen(&open);
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
        kind == SessionKind::Command ? service()->OpenCommandSession(&requestId) : service()->OpenDataSession(&requestId);
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
    if (sink() != nullptr) sink()->ResetForCommand();

    HRESULT hr = OpenSession(serviceId);
    if (hr != S_OK) {
        log_->WriteLog(0, "[Fail]OpenSession Fail hr = 0x%x", Hex(hr));
        return hr;
    }
    log_->WriteLog(2, "[Success] OpenSession success hr = 0x%x", Hex(hr));

    ULONG requestId = 0;
    {
        ScopedSafeArray bytes = CharBufferToSafeArray(command, length);
        hr = service()->SetCommand(commandId, bytes.get(), &requestId);
    }
    if (FAILED(hr)) {
        log_->WriteLog(0, "[Fail]SendData(): SetCommand hr = 0x%x", Hex(hr));
        return hr;
    }
    if (sink() != nullptr) sink()->SetRequestId(requestId);
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
        if (commandSessionState_ == kNoSession || !service()) {
            log_->WriteLog(0, "[Fail]Session is not open!");
            return E_FAIL;
        }
        ULONG requestId = 0;
        ScopedSafeArray bytes = CharBufferToSafeArray(data, length);
        const HRESULT hr = service()->SetCommand(commandId, bytes.get(), &requestId);
        if (FAILED(hr)) {
            log_->WriteLog(0, "[?]SendData(): SetCommand hr = 0x%x", Hex(hr));
        } else if (sink() != nullptr) {
            sink()->SetRequestId(requestId);
        }
        return hr;
    });
}

HRESULT CMbimDeviceEx::ReceiveReply(std::string* response) {
    if (sink() == nullptr) return E_FAIL;
    return sink()->WaitReply(response) == WAIT_OBJECT_0 ? S_OK : E_FAIL;
}

HRESULT CMbimDeviceEx::Recvmsg(std::string* response) {
    return CatchResult(kThrew, [&] {
        // As in SendData: no service held, no session.
        if (commandSessionState_ == kNoSession || !service()) {
            log_->WriteLog(0, "[Fail]Recvmsg Session is not open!");
            return E_FAIL;
        }
        return ReceiveReply(response);
    });
}

HRESULT CMbimDeviceEx::RecvDataMsg(std::string* response) {
    return CatchResult(kThrew, [&] {
        if (dataSessionOpen_ == 0 || !service()) {
            log_->WriteLog(0, "[Fail]Recvmsg Session is not open!");
            return E_FAIL;
        }
        return ReceiveReply(response);
    });
}

DWORD CMbimDeviceEx::WaitSession(SessionKind kind) {
    if (sink() == nullptr) return WAIT_FAILED;
    return kind == SessionKind::Command ? sink()->WaitCommandSession() : sink()->WaitDataSession();
}

// A session found open belongs to whoever opened it and is not closed here.
void CMbimDeviceEx::CloseSession() {
    if (commandSessionState_ == kOpenedHere && service()) {
        CloseServiceSession(SessionKind::Command);
        commandSessionState_ = kNoSession;
    }
    platform_.ReleaseService();
}

void CMbimDeviceEx::CloseDataSession() {
    if (dataSessionOpen_ != 0 && service()) {
        CloseServiceSession(SessionKind::Data);
        dataSessionOpen_ = 0;
    }
    platform_.ReleaseService();
}

// The close's own outcome is not examined: the service objects are let go either way.
void CMbimDeviceEx::CloseServiceSession(SessionKind kind) noexcept {
    // A log line that cannot be written must not keep the session's objects alive.
    CatchAll([&] {
        ULONG requestId = 0;
        const HRESULT hr = kind == SessionKind::Command ? service()->CloseCommandSession(&requestId)
                                                        : service()->CloseDataSession(&requestId);
        if (hr != S_OK) {
            log_->WriteLog(0, "[?]SendData(): CloseCommandSession hr = 0x%x", Hex(hr));
        } else {
            WaitSession(kind);
        }
    });
}

void CMbimDeviceEx::Release() {
    platform_.Close();
    delete this;
}
