#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "tools/IGlobalTools.h"
#include "tools/win/ComObject.h"
#include "tools/win/ComPtr.h"
#include "tools/win/CriticalSection.h"
#include "tools/win/Event.h"
#include "tools/win/ModuleReference.h"
#include "MbimWaits.h"
#include "platform/MbnApi.h"

// The callback object the channel advises on the device services manager. Platform threads
// call it; it turns session completions into event signals, collects the reply bytes of the
// command in flight and delivers a command completion only when its request id is the one the
// channel stored after SetCommand. It signals with four unnamed kernel events: reply, command
// session and data session reset by the one wait they release, the request id reset only by
// the channel.
//
// The platform may call it after the channel let go of it, even after the host freed this
// module: each callback holds its own reference for as long as it runs, and the sink holds a
// reference on the module for as long as it lives.
//
// Vtable: IUnknown, the eleven callbacks in the platform's order, then the destructor.
class CDefaultServiceEvent : public ComObject<CDefaultServiceEvent, IMbnDeviceServicesEvents> {
public:
    static const InterfaceRow<CDefaultServiceEvent> kInterfaceTable[];

    // Reference count 1: the creation reference, handed to the channel. Lines go to log, or to
    // the shared log when none is given.
    explicit CDefaultServiceEvent(const MbimWaits& waits = MbimWaits(), ComPtr<IGlobalTools::ILog> log = nullptr);

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

    // For the channel, whose caller holds this module while it runs: lets go of the creation
    // reference; if that was the last, the sink ends here and the module reference goes back
    // at once, without the grace that a platform thread's last release waits.
    void LetGoOnCallersThread();

    // For the channel: the hand-off of one command.
    void ResetForCommand();
    void SetRequestId(ULONG id);
    DWORD WaitCommandSession();
    DWORD WaitDataSession();
    // Moves the reply into *response when it came (response may be null to drop it).
    DWORD WaitReply(std::string* response);
    // True when the channel stored an id within the request-id wait.
    bool WaitRequestId();
    // The status of the last command-session completion, and of the last command completion
    // that carried the stored request id: for a caller that reports them (the host tool's
    // doctor); the channel itself goes by the waits.
    HRESULT SessionStatus() const { return sessionStatus_; }
    HRESULT ReplyStatus() const { return replyStatus_; }

private:
    // A callback's own reference, held for as long as it runs whatever the platform does with
    // the platform's.
    ComPtr<CDefaultServiceEvent> HoldForCallback();
    // Only Release destroys the object.
    ~CDefaultServiceEvent() override;

    // What an append did, for its line written after the lock is let go.
    struct Appended {
        bool done = false;
        size_t length = 0;  // of the buffer after it
    };
    Appended AppendReply(SAFEARRAY* data);
    void LogAppended(const Appended& appended);
    void MatchAndDeliver(SAFEARRAY* deviceServiceData, HRESULT status, ULONG requestID);

    // First, so that it goes last: the module outlives every other member's teardown.
    ModuleReference module_;
    std::string reply_;
    Event replyEvent_{Event::ResetMode::Auto};
    Event commandSessionEvent_{Event::ResetMode::Auto};
    Event dataSessionEvent_{Event::ResetMode::Auto};
    Event requestIdEvent_{Event::ResetMode::Manual};
    ComPtr<IGlobalTools::ILog> log_;
    std::atomic<ULONG> requestId_{0};
    std::atomic<HRESULT> sessionStatus_{S_OK};
    std::atomic<HRESULT> replyStatus_{S_OK};
    const MbimWaits waits_;
    // Guards the reply buffer and the id comparison against a completion that is still
    // appending when the channel times out and starts the next command; also keeps
    // OnReadData, which has no request-id hand-off, from overlapping the channel's reads.
    // No line is written under it.
    CriticalSection replyLock_;
};
