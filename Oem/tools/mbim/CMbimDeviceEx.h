#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "tools/IGlobalTools.h"
#include "tools/win/ComPtr.h"
#include "tools/win/CriticalSection.h"
#include "tools/win/ScopedComInit.h"
#include "tools/win/ScopedSafeArray.h"
#include "CDefaultServiceEvent.h"
#include "MbimWaits.h"
#include "platform/MbnApi.h"

// The element at index of an array that GetInterfaces gave, asked for IMbnInterface; a failure
// (DISP_E_BADVARTYPE for an array that does not hold interface pointers) leaves found empty.
HRESULT MbnInterfaceAt(SAFEARRAY* interfaces, LONG index, ComPtr<IMbnInterface>* found);

// Advises sink on the device services events of manager, its connection-point container
// (QueryInterface, FindConnectionPoint, Advise): S_OK with the connection point and the cookie,
// else the result of the call that failed, a success without an object counting as
// E_NOINTERFACE.
HRESULT AdviseServiceEvents(IMbnDeviceServicesManager* manager, IMbnDeviceServicesEvents* sink,
                            ComPtr<IConnectionPoint>* connectionPoint, DWORD* cookie);

// The AT-over-MBIM channel: one AT command at a time, sent as a device-service command on the
// first mobile-broadband interface, its reply matched by the event sink.
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

    struct AdviseRecord {
        ComPtr<CDefaultServiceEvent> sink;  // the sink's creation reference
        ComPtr<IConnectionPoint> connectionPoint;
        DWORD cookie = 0;
    };

    enum class SessionKind { Command, Data };

    enum CommandSessionState : std::uint32_t {
        kNoSession = 0,
        kOpenedHere = 1,
        kFoundOpen = 2,
    };

    HRESULT OpenImpl();
    void Disconnect();
    HRESULT ExecuteSteps(const char* command, std::uint32_t length, std::string* response,
                         IGlobalTools::IAtParser* parser, const wchar_t* serviceId, std::uint32_t commandId);
    HRESULT OpenServiceSession(const wchar_t* serviceId, SessionKind kind);
    bool AcquireService(const wchar_t* serviceId);
    ComPtr<IMbnInterface> GetFirstInterface();
    ScopedSafeArray CharBufferToSafeArray(const char* data, std::uint32_t length);
    void CloseServiceSession(SessionKind kind) noexcept;
    void ReleaseServiceObjects();
    HRESULT ReceiveReply(std::string* response);

    // The sink is missing only when Open did not connect one; then nothing is ever signalled.
    DWORD WaitSession(SessionKind kind);

    CriticalSection lock_;  // guards adviseList_
    std::list<AdviseRecord> adviseList_;
    ComPtr<IMbnDeviceServicesManager> servicesManager_;
    ComPtr<IMbnInterfaceManager> interfaceManager_;
    CDefaultServiceEvent* sink_ = nullptr;  // owned by its advise record
    ComPtr<IMbnInterface> interface_;
    ComPtr<IMbnDeviceServicesContext> context_;
    ComPtr<IMbnDeviceService> service_;
    std::uint32_t commandSessionState_ = kNoSession;
    std::uint32_t dataSessionOpen_ = 0;
    ComPtr<IGlobalTools::ILog> log_;
    ScopedComInit com_;
    const MbimWaits waits_;
};
