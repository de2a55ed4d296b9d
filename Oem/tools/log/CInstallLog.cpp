#include "CInstallLog.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "LogConfig.h"
#include "LogLine.h"
#include "tools/win/CatchResult.h"

CInstallLog::CInstallLog() : settings_(LogConfig::ConfigFilePath()) {
    std::string logsFolder;
    if (LogConfig::EnsureLogsFolder("KestovanLog", &logsFolder)) {
        logFilePath_ = logsFolder + "KestoMBIMcommand.log";
    }
}

void CInstallLog::WriteToLog(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    // Logging never changes the caller's result.
    CatchAll([&] {
        const LogSettings::Identity config = settings_.Examine();
        ScopedLock hold(lock_);
        settings_.Refresh(config);
        if (settings_.Level() >= level) {
            SYSTEMTIME now = {};
            ::GetLocalTime(&now);
            char prefix[128] = {};
            std::snprintf(prefix, sizeof(prefix),
                          "%d %02d-%02d %02d:%02d:%02d:%03d %s: ", static_cast<int>(::GetCurrentProcessId()),
                          now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                          "CInstallLog::WriteToLog");
            LogLine::Append(logFilePath_, prefix, LogLine::FormatBounded(kMessageCapacity, format, args));
        }
    });
    va_end(args);
}

CInstallLog* GetInstallLog() {
    static CInstallLog* log = new CInstallLog();
    return log;
}
