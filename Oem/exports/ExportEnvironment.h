#pragma once

#include <windows.h>

#include "tools/IGlobalTools.h"

// What a modem export works with: the module log, the export lock and where its channel
// comes from. The shipped exports use the process's own; tests build one around a fake
// channel.
struct ExportEnvironment {
    using ChannelSource = IGlobalTools::IMbimChannel* (*)();

    IGlobalTools::ILogEx* log = nullptr;  // null: nothing is logged
    HANDLE exportLock = nullptr;          // null: no serialisation
    ChannelSource newChannel = nullptr;

    template <typename... Args>
    void Log(int level, const char* format, Args... args) const {
        if (log) log->WriteLog(level, format, args...);
    }
};

// The process's module log and export lock, made at load and ended at unload.
struct ModuleGlobals {
    IGlobalTools::ILogEx* moduleLog = nullptr;
    HANDLE exportLock = nullptr;
};
ModuleGlobals& Module();

// A new channel from the tool factory, or null.
IGlobalTools::IMbimChannel* NewChannelFromFactory();

// The environment of the shipped exports.
ExportEnvironment ProcessEnvironment();
