#pragma once

#include <string>

#include "tools/win/CriticalSection.h"

// The command log of the older MBIM event port: one object per process, its path fixed at
// construction below the application-data folder ("KestovanLog\logs\KestoMBIMcommand.log").
class CInstallLog {
public:
    CInstallLog();
    void WriteToLog(int level, const char* format, ...);

    static constexpr size_t kMessageCapacity = 512;

private:
    CriticalSection lock_;
    std::string logFilePath_;
    std::string configPath_;
};

CInstallLog* GetInstallLog();
