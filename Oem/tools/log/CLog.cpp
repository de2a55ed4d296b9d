#include "CLog.h"

#include <cstdarg>

CLog::CLog() : writer_(".log", "KestoConnectMonitor.log") {}

void CLog::SetLogFile(const char* path) {
    writer_.SetPath(path, false);
}

void CLog::WriteLog(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    writer_.Write(level, format, args);
    va_end(args);
}

ULONG CLog::Release() {
    const ULONG count = --references_;
    if (count == 0) delete this;
    return count;
}

ULONG CLog::AddRef() {
    return ++references_;
}

IGlobalTools::ILog* GetSharedLog() {
    static CLog* shared = nullptr;
    if (shared == nullptr) {
        shared = new CLog();
        shared->AddRef();  // the process-wide hold: the shared log lives until the process ends
    }
    shared->AddRef();
    return shared;
}
