#pragma once

#include <atomic>

#include "tools/IGlobalTools.h"
#include "LogWriter.h"

// The shared log: one reference-counted object per process, written by the channel and its
// event sink. Its file is the host executable's name followed by ".log".
class CLog : public IGlobalTools::ILog {
public:
    CLog();

    void SetLogFile(const char* path) override;
    OEM_PRINTF_FORMAT(3, 4) void WriteLog(int level, const char* format, ...) override;
    ULONG Release() override;
    ULONG AddRef() override;

private:
    ~CLog() override = default;

    LogWriter writer_;
    std::atomic<ULONG> references_{1};
};

// The shared log with one reference added for the caller, created on first demand. The
// first call must not race another first call; the library makes it under the export lock.
IGlobalTools::ILog* GetSharedLog();
