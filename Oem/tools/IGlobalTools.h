#pragma once
// The tool kit's interfaces. Consumers hold these pointers only and end every object through
// its interface's Release. The slot order of each class is part of the contract: never reorder.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "PrintfFormat.h"
#include "job/IJob.h"

namespace IGlobalTools {

class IAtParser;

// AT command port over a numbered serial port.
class IDeviceMsg {
public:
    virtual ~IDeviceMsg() = default;
    virtual HRESULT Open(unsigned int portNumber) = 0;
    virtual HRESULT ExecuteCmd(const unsigned char* data, unsigned int length, std::string* reply) = 0;
    virtual HRESULT SendData(const unsigned char* data, unsigned int length) = 0;
    virtual HRESULT Recvmsg(std::string* reply) = 0;
    virtual BOOL Close() = 0;
    virtual void Release() = 0;
};

// The process-wide, reference-counted log.
class ILog {
public:
    virtual ~ILog() = default;
    virtual void SetLogFile(const char* path) = 0;
    OEM_PRINTF_FORMAT(3, 4) virtual void WriteLog(int level, const char* format, ...) = 0;
    virtual ULONG Release() = 0;
    virtual ULONG AddRef() = 0;
};

// AT commands carried as device-service commands of the mobile-broadband API.
class IMbimChannel {
public:
    virtual ~IMbimChannel() = default;
    virtual HRESULT Open() = 0;
    virtual HRESULT ExecuteCmd(const char* command, std::uint32_t length, std::string* response, IAtParser* parser,
                               const wchar_t* serviceId, std::uint32_t commandId) = 0;
    virtual HRESULT OpenSession(const wchar_t* serviceId) = 0;
    virtual HRESULT SendData(const char* data, std::uint32_t length, std::uint32_t commandId) = 0;
    virtual HRESULT Recvmsg(std::string* response) = 0;
    virtual void CloseSession() = 0;
    virtual HRESULT OpenDataSession(const wchar_t* serviceId) = 0;
    virtual HRESULT RecvDataMsg(std::string* response) = 0;
    virtual void CloseDataSession() = 0;
    virtual void Release() = 0;
};

// Text operations for taking AT replies apart.
class IAtParser {
public:
    virtual ~IAtParser() = default;
    virtual void ExtractPayload(const void* buffer, std::uint32_t length, std::string* out) = 0;
    virtual std::string KeepChars(std::string text, std::string charset) = 0;
    virtual std::string RemoveChars(std::string text, std::string charset) = 0;
    virtual std::string HexToDec(std::string hexText) = 0;
    virtual void Split(std::string text, std::string separator, std::vector<std::string>* parts) = 0;
    virtual std::string GetBetween(std::string text, std::string head, std::string tail) = 0;
    virtual void Release() = 0;
};

// A log object of its own (the module log is one).
class ILogEx {
public:
    virtual ~ILogEx() = default;
    virtual void SetLogFile(const char* path) = 0;
    OEM_PRINTF_FORMAT(3, 4) virtual void WriteLog(int level, const char* format, ...) = 0;
    virtual void Release() = 0;
};

// One worker thread that runs posted jobs in posting order.
class IThreadQueue {
public:
    virtual ~IThreadQueue() = default;
    virtual BOOL Start() = 0;
    virtual void Stop() = 0;
    virtual void PostJob(IJob* job) = 0;
    virtual void Release() = 0;
};

// A self-sizing pool of worker threads.
class IThreadPools {
public:
    virtual ~IThreadPools() = default;
    virtual BOOL PostJob(IJob* job) = 0;
    virtual BOOL Start() = 0;
    virtual BOOL Stop() = 0;
    virtual void Release() = 0;
};

}  // namespace IGlobalTools
