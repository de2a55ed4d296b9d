#pragma once
// The sinks advised on the device services events connection point of any device services
// manager: one list, as the platform calls every sink of the process; owner tells which
// manager each was advised on, so that a manager's sinks go with it. Each entry holds the
// reference the sink itself gave for the events interface.

#include <windows.h>

#include <vector>

#include "platform/MbnApi.h"
#include "tools/win/ComPtr.h"
#include "tools/win/CriticalSection.h"

class SinkRegistry {
public:
    HRESULT Advise(const void* owner, IUnknown* sink, DWORD* cookie);
    HRESULT Unadvise(const void* owner, DWORD cookie);
    void DropOwner(const void* owner);
    // The sinks advised now, each with a reference of its own.
    std::vector<ComPtr<IMbnDeviceServicesEvents>> Snapshot();

    int Advises();
    int Unadvises();
    int Advised();
    void ClearCounts();

private:
    struct Entry {
        const void* owner;
        DWORD cookie;
        ComPtr<IMbnDeviceServicesEvents> sink;
    };

    CriticalSection lock_;
    std::vector<Entry> entries_;
    DWORD lastCookie_ = 0;
    int advises_ = 0;    // Advise calls, refused ones too
    int unadvises_ = 0;  // successful Unadvise calls
};
