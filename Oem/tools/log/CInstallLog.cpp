#include "CInstallLog.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "LogConfig.h"
#include "LogLine.h"
#include "tools/win/CatchResult.h"

namespace {

// A plain pointer, not a function-local static: a guarded static would leave the runtime's
// record of the first calling thread behind after the library is unloaded.
CInstallLog* installLog = nullptr;

}  // namespace

CInstallLog::CInstallLog() : configPath_(LogConfig::ConfigFilePath()) {
    std::string logsFolder;
    if (LogConfig::EnsureLogsFolder("KestovanLog", &logsFolder) == LogFolder::State::Ready) {
        logFilePath_ = logsFolder + "KestoMBIMcommand.log";
    }
}

void CInstallLog::WriteToLog(int level, const char* format, ...) {
    // Read outside the lock, as the other log tools do: a filtered line costs this one read.
    if (LogConfig::ReadLogLevel(configPath_) < level) return;
    va_list args;
    va_start(args, format);
    // Logging never changes the caller's result.
    CatchAll([&] {
        ScopedLock hold(lock_);
        SYSTEMTIME now = {};
        ::GetLocalTime(&now);
        char prefix[128] = {};
        std::snprintf(prefix, sizeof(prefix),
                      "%d %02d-%02d %02d:%02d:%02d:%03d %s: ", static_cast<int>(::GetCurrentProcessId()), now.wMonth,
                      now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, "CInstallLog::WriteToLog");
        LogLine::Append(logFilePath_, prefix, kMessageCapacity, format, args);
    });
    va_end(args);
}

CInstallLog* GetInstallLog() {
    if (installLog == nullptr) installLog = new CInstallLog();
    return installLog;
}
