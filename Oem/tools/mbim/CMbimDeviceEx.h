#pragma once
// The AT-over-MBIM channel: one AT command at a time, sent as a device-service command on the
// first mobile-broadband interface. Here are its sessions and commands: opening the command or
// data session (or using one found open), sending the bytes, waiting for the reply the event
// sink matches, closing what it opened. Reaching the platform (COM, the managers, the advised
// sink, the device service) is MbnServiceAccess's.

#include <cstdint>
#include <string>

#include "tools/IGlobalTools.h"
#include "tools/win/ComPtr.h"
#include "tools/win/ScopedSafeArray.h"
#include "MbimWaits.h"
#include "MbnServiceAccess.h"

class CMbimDeviceEx : public IGlobalTools::IMbimChannel {
public:
    // The factory passes the shipped waits; tests pass short ones.
    explicit CMbimDeviceEx(const MbimWaits& waits = MbimWaits());

    HRESULT Open() override;
    HRESULT ExecuteCmd(const char* command, std::uint32_t length, std::string* response,
                       IGlobalTools::IAtParser* parser, const wchar_t* serviceId, std::uint32_t commandId) override;
    HRESULT OpenSession(const wchar_t* serviceId) override;
    HRESULT SendData(const char* data, std::uint32_t length, std::uint32_t commandId) override;
    HRESULT Recvmsg(std::string* response) override;
    void CloseSession() override;
    HRESULT OpenDataSession(const wchar_t* serviceId) override;
    HRESULT RecvDataMsg(std::string* response) override;
    void CloseDataSession() override;
    void Release() override;

private:
    // Only Release ends the object; it disconnects the sinks first.
    ~CMbimDeviceEx() override;

    enum class SessionKind { Command, Data };

    enum CommandSessionState : std::uint32_t {
        kNoSession = 0,
        kOpenedHere = 1,
        kFoundOpen = 2,
    };

    HRESULT ExecuteSteps(const char* command, std::uint32_t length, std::string* response,
                         IGlobalTools::IAtParser* parser, const wchar_t* serviceId, std::uint32_t commandId);
    HRESULT OpenServiceSession(const wchar_t* serviceId, SessionKind kind);
    ScopedSafeArray CharBufferToSafeArray(const char* data, std::uint32_t length);
    void CloseServiceSession(SessionKind kind) noexcept;
    HRESULT ReceiveReply(std::string* response);

    // The sink is missing only when Open did not connect one; then nothing is ever signalled.
    DWORD WaitSession(SessionKind kind);
    CDefaultServiceEvent* sink() const { return platform_.sink(); }
    IMbnDeviceService* service() const { return platform_.service(); }

    ComPtr<IGlobalTools::ILog> log_;  // before platform_, which writes to it
    MbnServiceAccess platform_;
    std::uint32_t commandSessionState_ = kNoSession;
    std::uint32_t dataSessionOpen_ = 0;
};
