#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "../tools/IGlobalTools.h"

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
