#include "CLogEx.h"

#include <cstdarg>

CLogEx::CLogEx() : writer_("Ex.log", "KestoConnectMonitorEx.log") {}

void CLogEx::SetLogFile(const char* path) {
    writer_.SetPath(path);
    ::InterlockedExchange(&pathGiven_, 1);
}

void CLogEx::WriteLog(int level, const char* format, ...) {
    if (!writer_.Admits(level)) return;
    va_list args;
    va_start(args, format);
    writer_.Write(::InterlockedCompareExchange(&pathGiven_, 0, 0) == 0, format, args);
    va_end(args);
}

void CLogEx::Release() {
    delete this;
}
