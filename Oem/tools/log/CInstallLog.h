#pragma once

#include <string>

#include "tools/PrintfFormat.h"
#include "tools/win/CriticalSection.h"

// The command log of the older MBIM event port: one object per process, its path fixed at
// construction below the application-data folder ("KestovanLog\logs\KestoMBIMcommand.log").
class CInstallLog {
public:
    CInstallLog();
    // A line that cannot be written is lost; nothing is thrown.
    OEM_PRINTF_FORMAT(3, 4) void WriteToLog(int level, const char* format, ...);

    static constexpr size_t kMessageCapacity = 512;

private:
    CriticalSection lock_;
    std::string logFilePath_;
    const std::string configPath_;
};

// The process's command log, created on first use and never freed. It takes no lock: the
// first call must not race another first call.
CInstallLog* GetInstallLog();
