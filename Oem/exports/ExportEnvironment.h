#pragma once

#include <windows.h>

#include <cstdarg>

#include "tools/IGlobalTools.h"
#include "tools/log/CLogEx.h"

// What a modem export works with: the module log, the export lock and where its channel
// comes from. The shipped exports use the process's own; the host tool's capture builds one
// with its own lock and no log.
struct ExportEnvironment {
    using ChannelSource = IGlobalTools::IMbimChannel* (*)();

    CLogEx* log = nullptr;         // null: nothing is logged
    HANDLE exportLock = nullptr;  // null: no serialisation
    ChannelSource newChannel = nullptr;

    // The log tests the level before it formats anything: a line the level drops costs one
    // read of the configured level.
    OEM_PRINTF_FORMAT(3, 4) void Log(int level, const char* format, ...) const {
        va_list args;
        va_start(args, format);
        LogV(level, format, args);
        va_end(args);
    }
    OEM_PRINTF_FORMAT_V(3) void LogV(int level, const char* format, va_list args) const {
        if (log) log->WriteLogV(level, format, args);
    }
};

// A new channel from the tool factory, or null.
IGlobalTools::IMbimChannel* NewChannelFromFactory();

// The environment of the shipped exports.
ExportEnvironment ProcessEnvironment();
