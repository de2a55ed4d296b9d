#pragma once
// The carrier-id benchmark client's event sink: the four unnamed kernel events of the channel's
// hand-off, the stored request id and the reply bytes, with the level reads of the sink's lines.

#include <windows.h>

#include <atomic>
#include <string>

#include "LevelRead.h"
#include "platform/MbnApi.h"
#include "tools/win/ComObject.h"
#include "tools/win/Event.h"

class ClientSink final : public ComObject<ClientSink, IMbnDeviceServicesEvents> {
public:
    static const InterfaceRow<ClientSink> kInterfaceTable[];
    explicit ClientSink(const LevelRead& logLine) : logLine_(logLine) {}

    Event reply{Event::ResetMode::Auto};
    Event commandSession{Event::ResetMode::Auto};
    Event dataSession{Event::ResetMode::Auto};
    Event requestIdSet{Event::ResetMode::Manual};
    std::atomic<ULONG> requestId{0};
    std::string bytes;

    void ResetForCommand();
    void SetRequestId(ULONG id);
    bool WaitReply(std::string* response);

    HRESULT STDMETHODCALLTYPE OnSetCommandComplete(IMbnDeviceService* service, ULONG, SAFEARRAY* data, HRESULT status,
                                                   ULONG id) override;
    HRESULT STDMETHODCALLTYPE OnOpenCommandSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        return Signal(commandSession);
    }
    HRESULT STDMETHODCALLTYPE OnCloseCommandSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        return Signal(commandSession);
    }
    HRESULT STDMETHODCALLTYPE OnOpenDataSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        return Signal(dataSession);
    }
    HRESULT STDMETHODCALLTYPE OnCloseDataSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        return Signal(dataSession);
    }
    HRESULT STDMETHODCALLTYPE OnQuerySupportedCommandsComplete(IMbnDeviceService*, SAFEARRAY*, HRESULT,
                                                               ULONG) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnQueryCommandComplete(IMbnDeviceService*, ULONG, SAFEARRAY*, HRESULT, ULONG) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEventNotification(IMbnDeviceService*, ULONG, SAFEARRAY*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnWriteDataComplete(IMbnDeviceService*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnReadData(IMbnDeviceService*, SAFEARRAY*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInterfaceStateChange(BSTR, MBN_DEVICE_SERVICES_INTERFACE_STATE) override {
        return S_OK;
    }

private:
    static HRESULT Signal(Event& event) {
        event.Set();
        return S_OK;
    }

    const LevelRead& logLine_;
};
