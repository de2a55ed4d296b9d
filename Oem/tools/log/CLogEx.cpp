#include "CLogEx.h"

CLogEx::CLogEx() : writer_("Ex.log", "KestoConnectMonitorEx.log") {}

void CLogEx::SetLogFile(const char* path) {
    writer_.SetPath(path, true);
}

void CLogEx::WriteLog(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteLogV(level, format, args);
    va_end(args);
}

void CLogEx::WriteLogV(int level, const char* format, va_list args) {
    writer_.Write(level, format, args);
}

void CLogEx::Release() {
    delete this;
}
