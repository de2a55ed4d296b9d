#include "CInstallLog.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "LogConfig.h"
#include "LogLine.h"

CInstallLog::CInstallLog() : configPath_(LogConfig::ConfigFilePath()) {
    std::string logsFolder;
    if (LogConfig::EnsureLogsFolder("KestovanLog", &logsFolder)) {
        logFilePath_ = logsFolder + "KestoMBIMcommand.log";
    }
}

void CInstallLog::WriteToLog(int level, const char* format, ...) {
    if (LogConfig::ReadLogLevel(configPath_) < level) return;
    ScopedLock hold(lock_);
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    char prefix[128] = {};
    std::snprintf(prefix, sizeof(prefix),
                  "%d %02d-%02d %02d:%02d:%02d:%03d %s: ", static_cast<int>(::GetCurrentProcessId()), now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, "CInstallLog::WriteToLog");
    va_list args;
    va_start(args, format);
    const std::string message = LogLine::FormatBounded(kMessageCapacity, format, args);
    va_end(args);
    LogLine::Append(logFilePath_, prefix, message);
}

CInstallLog* GetInstallLog() {
    static CInstallLog* log = new CInstallLog();
    return log;
}
