#pragma once

#include <atomic>
#include <string>

#include "tools/IGlobalTools.h"
#include "tools/win/ComObject.h"
#include "tools/win/ComPtr.h"
#include "tools/win/CriticalSection.h"
#include "tools/win/LightEvent.h"
#include "MbimWaits.h"
#include "platform/MbnApi.h"

// The callback object the channel advises on the device services manager. Platform threads
// call it; it turns session completions into event signals, collects the reply bytes of the
// command in flight and delivers a command completion only when its request id is the one the
// channel stored after SetCommand. Its signals are in-process events: only the channel and
// the callbacks wait on them, and a kernel event would cost a system call for every creation,
// set, reset and wait of every command.
//
// Vtable: IUnknown, the eleven callbacks in the platform's order, then the destructor.
class CDefaultServiceEvent : public ComObject<CDefaultServiceEvent, IMbnDeviceServicesEvents> {
public:
    static const InterfaceRow<CDefaultServiceEvent> kInterfaceTable[];

    // Reference count 1: the creation reference, handed to the channel.
    explicit CDefaultServiceEvent(const MbimWaits& waits = MbimWaits());

    HRESULT STDMETHODCALLTYPE OnQuerySupportedCommandsComplete(IMbnDeviceService* deviceService,
                                                               SAFEARRAY* commandIDList, HRESULT status,
                                                               ULONG requestID) override;
    HRESULT STDMETHODCALLTYPE OnOpenCommandSessionComplete(IMbnDeviceService* deviceService, HRESULT status,
                                                           ULONG requestID) override;
    HRESULT STDMETHODCALLTYPE OnCloseCommandSessionComplete(IMbnDeviceService* deviceService, HRESULT status,
                                                            ULONG requestID) override;
    HRESULT STDMETHODCALLTYPE OnSetCommandComplete(IMbnDeviceService* deviceService, ULONG responseID,
                                                   SAFEARRAY* deviceServiceData, HRESULT status,
                                                   ULONG requestID) override;
    HRESULT STDMETHODCALLTYPE OnQueryCommandComplete(IMbnDeviceService* deviceService, ULONG responseID,
                                                     SAFEARRAY* deviceServiceData, HRESULT status,
                                                     ULONG requestID) override;
    HRESULT STDMETHODCALLTYPE OnEventNotification(IMbnDeviceService* deviceService, ULONG eventID,
                                                  SAFEARRAY* deviceServiceData) override;
    HRESULT STDMETHODCALLTYPE OnOpenDataSessionComplete(IMbnDeviceService* deviceService, HRESULT status,
                                                        ULONG requestID) override;
    HRESULT STDMETHODCALLTYPE OnCloseDataSessionComplete(IMbnDeviceService* deviceService, HRESULT status,
                                                         ULONG requestID) override;
    HRESULT STDMETHODCALLTYPE OnWriteDataComplete(IMbnDeviceService* deviceService, HRESULT status,
                                                  ULONG requestID) override;
    HRESULT STDMETHODCALLTYPE OnReadData(IMbnDeviceService* deviceService, SAFEARRAY* deviceServiceData) override;
    HRESULT STDMETHODCALLTYPE OnInterfaceStateChange(BSTR interfaceID,
                                                     MBN_DEVICE_SERVICES_INTERFACE_STATE stateChange) override;

    // For the channel: the hand-off of one command.
    void ResetForCommand();
    void SetRequestId(ULONG id);
    DWORD WaitCommandSession();
    DWORD WaitDataSession();
    // Moves the reply into *response when it came (response may be null to drop it).
    DWORD WaitReply(std::string* response);
    // True when the channel stored an id within the request-id wait; false when the wait ran
    // out or the channel is closing.
    bool WaitRequestId();

    // For the channel's Release. Close wakes every callback waiting for a request id and
    // answers later ones at once. WaitUnused then waits until no callback runs here and the
    // platform holds no reference, for at most the request-id wait that Close cut short; true
    // when only the caller's reference is left.
    void Close() {
        closing_ = true;
        requestIdEvent_.Set();
    }
    bool WaitUnused();

private:
    friend class ComObject<CDefaultServiceEvent, IMbnDeviceServicesEvents>;
    // Hides the base's: the last outside reference going wakes WaitUnused.
    void ReferencesLeft(ULONG left);
    // A callback's own reference, held for as long as it runs whatever the platform does with
    // the platform's.
    ComPtr<CDefaultServiceEvent> HoldForCallback();
    // Only Release destroys the object.
    ~CDefaultServiceEvent() override;

    void AppendReply(SAFEARRAY* data);
    void MatchAndDeliver(SAFEARRAY* deviceServiceData, HRESULT status, ULONG requestID);

    std::string reply_;
    LightEvent replyEvent_{LightEvent::ResetMode::Auto};
    LightEvent commandSessionEvent_{LightEvent::ResetMode::Auto};
    LightEvent dataSessionEvent_{LightEvent::ResetMode::Auto};
    // Also set by Close, so that a callback waiting for an id wakes and finds closing_.
    LightEvent requestIdEvent_{LightEvent::ResetMode::Manual};
    // Set once by the channel's Release: a request id will never come.
    std::atomic<bool> closing_{false};
    // Signalled when the count falls back to one reference.
    LightEvent unused_{LightEvent::ResetMode::Auto};
    ComPtr<IGlobalTools::ILog> log_;
    std::atomic<ULONG> requestId_{0};
    const MbimWaits waits_;
    // Guards the reply buffer and the id comparison against a completion that is still
    // appending when the channel times out and starts the next command; also keeps
    // OnReadData, which has no request-id hand-off, from overlapping the channel's reads.
    CriticalSection replyLock_;
};
