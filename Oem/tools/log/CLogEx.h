#pragma once

#include <cstdarg>

#include "tools/IGlobalTools.h"
#include "LogWriter.h"

// A log object of its own; the module log of the exports is one. Its file is the host
// executable's name followed by "Ex.log" until SetLogFile names another for good.
class CLogEx : public IGlobalTools::ILogEx {
public:
    CLogEx();

    void SetLogFile(const char* path) override;
    OEM_PRINTF_FORMAT(3, 4) void WriteLog(int level, const char* format, ...) override;
    // WriteLog for a caller that holds its arguments as a va_list already; a line the level
    // filters out is not formatted.
    OEM_PRINTF_FORMAT_V(3) void WriteLogV(int level, const char* format, va_list args);
    void Release() override;

private:
    LogWriter writer_;  // holds the path-given flag under the lock that guards the path
};
