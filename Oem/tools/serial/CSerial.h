#pragma once

#include "tools/IGlobalTools.h"
#include "tools/win/ScopedHandle.h"

// The serial port's waits, in milliseconds; the factory uses these shipped values.
struct SerialWaits {
    DWORD writeByte = 1000;  // for one pending byte to go out
    DWORD read = 2000;       // for a pending read of bytes already queued
    DWORD replyPause = 200;  // between the last command byte and the one read
};

// AT commands over a numbered COM port at 115200 baud, 8N1, with overlapped I/O. Commands go
// out byte by byte; the reply is whatever the driver has queued after a fixed pause.
//
// Release does not close an open port: its handle and events stay open for the rest of the
// process unless Close was called first. Callers Close, then Release.
//
// No lock: the two OVERLAPPED blocks are shared by every call, so one thread at a time.
class CSerial : public IGlobalTools::IDeviceMsg {
public:
    explicit CSerial(const SerialWaits& waits = SerialWaits());
    ~CSerial() override;

    HRESULT Open(unsigned int portNumber) override;
    HRESULT ExecuteCmd(const unsigned char* data, unsigned int length, std::string* reply) override;
    HRESULT SendData(const unsigned char* data, unsigned int length) override;
    HRESULT Recvmsg(std::string* reply) override;
    BOOL Close() override;
    void Release() override;

private:
    bool IsOpen() const { return open_ != 0 && port_.valid(); }
    void Configure();
    void WriteByte(const unsigned char* byte);
    unsigned int Send(const unsigned char* data, unsigned int length);
    unsigned int ReadWaiting(unsigned int limit);
    HRESULT ReadReply(unsigned int limit, std::string* reply);

    const SerialWaits waits_;
    int open_ = 0;
    ScopedFileHandle port_;
    OVERLAPPED readBlock_;
    OVERLAPPED writeBlock_;
    ScopedHandle readEvent_;
    ScopedHandle writeEvent_;
    unsigned char writeByte_ = 0;
    char readBuffer_[2048];  // Recvmsg's limit; ExecuteCmd reads at most 1024
};
