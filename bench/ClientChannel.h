#pragma once
// The carrier-id benchmark client's channel: one channel's platform objects, opened as the
// library's channel opens them and let go as it lets them go: unadvise, the sink (its four
// events closed), the connection point, the managers, then COM.

#include <windows.h>

#include <string>

#include "ClientSink.h"
#include "LevelRead.h"
#include "platform/MbnApi.h"
#include "tools/win/ComPtr.h"
#include "tools/win/ScopedComInit.h"

struct ClientChannel {
    explicit ClientChannel(const LevelRead& logLine) : logLine(logLine) {}
    ~ClientChannel() {
        if (cookie != 0) point->Unadvise(cookie);
    }

    bool Open();
    // One command in a command session opened and closed around it.
    bool Execute(const std::string& command, std::string* response);

    const LevelRead& logLine;
    ScopedComInit com;
    ComPtr<IMbnInterfaceManager> interfaces;
    ComPtr<IMbnDeviceServicesManager> services;
    ComPtr<IConnectionPoint> point;
    ComPtr<ClientSink> sink = ComPtr<ClientSink>::Adopt(new ClientSink(logLine));
    DWORD cookie = 0;
};
