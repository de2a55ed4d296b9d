#pragma once
// The platform side of the AT-over-MBIM channel: COM in the multithreaded apartment, the
// interface manager and the device services manager, the event sink advised on the device
// services events, and the device service of the first mobile-broadband interface. The channel
// (CMbimDeviceEx) runs its sessions and commands on what this holds; doctor walks the same
// calls with MbnInterfaceAt and AdviseServiceEvents.

#include <list>

#include "tools/IGlobalTools.h"
#include "tools/win/ComPtr.h"
#include "tools/win/CriticalSection.h"
#include "tools/win/ScopedComInit.h"
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

class MbnServiceAccess {
public:
    // log: the channel's, which outlives this; every line is written at level 0.
    MbnServiceAccess(IGlobalTools::ILog* log, const MbimWaits& waits);
    MbnServiceAccess(const MbnServiceAccess&) = delete;
    MbnServiceAccess& operator=(const MbnServiceAccess&) = delete;

    // COM, both managers, and a sink advised (with waits); S_OK at once when a sink is
    // connected already, so that a second Open does not advise a second one.
    HRESULT Open();
    // The device service serviceId of the first interface, through its device services
    // context; false, with a log line, when a step fails. What was obtained stays held until
    // ReleaseService.
    bool AcquireService(const wchar_t* serviceId);
    void ReleaseService();
    // Unadvises every sink and lets go of everything, COM last.
    void Close();

    // Null until Open connected one; then nothing is ever signalled.
    CDefaultServiceEvent* sink() const { return sink_; }
    // Null while no device service is held.
    IMbnDeviceService* service() const { return service_.get(); }

private:
    struct AdviseRecord {
        ComPtr<CDefaultServiceEvent> sink;  // the sink's creation reference
        ComPtr<IConnectionPoint> connectionPoint;
        DWORD cookie = 0;
    };

    ComPtr<IMbnInterface> GetFirstInterface();
    void Disconnect();

    IGlobalTools::ILog* const log_;
    const MbimWaits waits_;
    CriticalSection lock_;  // guards adviseList_
    std::list<AdviseRecord> adviseList_;
    ComPtr<IMbnDeviceServicesManager> servicesManager_;
    ComPtr<IMbnInterfaceManager> interfaceManager_;
    CDefaultServiceEvent* sink_ = nullptr;  // owned by its advise record
    ComPtr<IMbnInterface> interface_;
    ComPtr<IMbnDeviceServicesContext> context_;
    ComPtr<IMbnDeviceService> service_;
    ScopedComInit com_;
};
