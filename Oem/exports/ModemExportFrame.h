#pragma once
// The frame every export that talks to the modem runs in: the export lock held from the
// first step to the last, one channel obtained, opened and released within the call. An
// exception lets go of both on its way out; each export turns it into its failure value.

#include <cstdarg>
#include <cstdint>
#include <string>

#include "exports/ExportEnvironment.h"
#include "tools/win/ScopedHandle.h"

// The module-log lines an export writes around getting its channel, written as they are (never
// read as formats); null means no line.
struct ChannelLines {
    const char* noChannel = nullptr;   // level 0
    const char* openFailed = nullptr;  // at openFailedLevel
    int openFailedLevel = 0;
    const char* openSucceeded = nullptr;  // level 2
};

class ModemExportFrame {
public:
    // Waits for the export lock without time-out; an abandoned lock is taken like a free one,
    // and a failed wait holds (and later releases) nothing.
    explicit ModemExportFrame(const ExportEnvironment& environment);
    // Releases a channel still held, then the export lock.
    ~ModemExportFrame();
    ModemExportFrame(const ModemExportFrame&) = delete;
    ModemExportFrame& operator=(const ModemExportFrame&) = delete;

    // Gets a channel and opens it, writing the given lines. Null when there is no channel or
    // Open failed; a channel whose Open failed is released at once.
    IGlobalTools::IMbimChannel* OpenChannel(const ChannelLines& lines);

    // One AT command on the AT-over-MBIM device service, command id 1, no parser.
    HRESULT Execute(const std::string& command, std::string* reply);

    void ReleaseChannel();

    OEM_PRINTF_FORMAT(3, 4) void Log(int level, const char* format, ...) const {
        va_list args;
        va_start(args, format);
        environment_.LogV(level, format, args);
        va_end(args);
    }

private:
    const ExportEnvironment& environment_;
    HeldMutex exportLock_;
    IGlobalTools::IMbimChannel* channel_ = nullptr;
};

// The AT-over-MBIM device service the commands travel on, and the command id of an AT command.
extern const wchar_t kAtDeviceServiceId[];
extern const std::uint32_t kAtCommandId;
