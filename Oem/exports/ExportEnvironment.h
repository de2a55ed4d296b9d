#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <memory>

#include "tools/IGlobalTools.h"
#include "tools/win/ScopedHandle.h"

// What a modem export works with: the module log, the export lock and where its channel
// comes from. The shipped exports use the process's own; tests build one around a fake
// channel.
struct ExportEnvironment {
    using ChannelSource = IGlobalTools::IMbimChannel* (*)();

    IGlobalTools::ILogEx* log = nullptr;  // null: nothing is logged
    HANDLE exportLock = nullptr;          // null: no serialisation
    ChannelSource newChannel = nullptr;

    // Formatted here, where the compiler checks the format, and handed on as data.
    OEM_PRINTF_FORMAT(3, 4) void Log(int level, const char* format, ...) const {
        va_list args;
        va_start(args, format);
        LogV(level, format, args);
        va_end(args);
    }
    void LogV(int level, const char* format, va_list args) const {
        if (!log) return;
        char message[16384];  // as much as a log line keeps
        if (std::vsnprintf(message, sizeof(message), format, args) < 0) message[0] = '\0';
        log->WriteLog(level, "%s", message);
    }
};

// Ends a tool object through its interface's Release.
struct ToolRelease {
    template <typename Tool>
    void operator()(Tool* tool) const {
        tool->Release();
    }
};

// The process's module log and export lock, made at load and ended at unload.
struct ModuleGlobals {
    std::unique_ptr<IGlobalTools::ILogEx, ToolRelease> moduleLog;
    ScopedHandle exportLock;
};
ModuleGlobals& Module();

// A new channel from the tool factory, or null.
IGlobalTools::IMbimChannel* NewChannelFromFactory();

// The environment of the shipped exports.
ExportEnvironment ProcessEnvironment();
