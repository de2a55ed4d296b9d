#include "CSerial.h"

#include <cstdio>
#include <cwchar>
#include <utility>

#include "tools/win/CatchResult.h"

namespace {

constexpr DWORD kBaudRate = 115200;
constexpr DWORD kCommTimeoutMs = 1000;
// The value the port is configured with: 9, character received (EV_RXCHAR, 1) and CTS changed
// (EV_CTS, 8).
constexpr DWORD kEventMask = 9;
constexpr unsigned int kCommandReplyLimit = 1024;
// "\\.\COM" plus the number must fit 15 wide characters with the terminator: seven digits.
constexpr unsigned int kLargestPort = 9999999;

// The step names go to standard output, not to the log tools.
void PrintFailedStep(const wchar_t* step) {
    std::wprintf(L"%ls", step);
    std::fflush(stdout);
}

// A wait that timed out leaves the I/O running on a buffer the caller is about to drop: cancel
// it and let the cancellation finish before the buffer or the block is used again. When there
// is nothing left to cancel, there is nothing to wait for either. A driver that never
// completes the cancel is waited for no longer than the wait that timed out; the block's
// event then stays unsignalled until its next use resets it.
void Abandon(HANDLE port, OVERLAPPED* block, DWORD waitMs) {
    if (!::CancelIoEx(port, block)) return;
    if (::WaitForSingleObject(block->hEvent, waitMs) == WAIT_OBJECT_0) {
        DWORD ignored = 0;
        ::GetOverlappedResult(port, block, &ignored, FALSE);
    }
}

}  // namespace

CSerial::CSerial(const SerialWaits& waits) : waits_(waits) {
    ::ZeroMemory(&readBlock_, sizeof(readBlock_));
    ::ZeroMemory(&writeBlock_, sizeof(writeBlock_));
}

CSerial::~CSerial() {
    // Release ends the object, not the port: the tool's callers Close first. An open port's
    // handles are let go here, not closed, and stay open for the rest of the process.
    port_.release();
    readEvent_.release();
    writeEvent_.release();
}

HRESULT CSerial::Open(unsigned int portNumber) {
    // The port number is not compared: a second Open keeps the first port.
    if (open_ != 0) return S_OK;
    if (portNumber > kLargestPort) return E_FAIL;

    wchar_t deviceName[15];
    std::swprintf(deviceName, sizeof(deviceName) / sizeof(deviceName[0]), L"\\\\.\\COM%u", portNumber);
    ScopedFileHandle port(::CreateFileW(deviceName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED, nullptr));
    if (!port.valid()) return E_FAIL;

    // Without its events no overlapped wait could work: give the port back rather than run
    // without them.
    ScopedHandle readEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ScopedHandle writeEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!readEvent.valid() || !writeEvent.valid()) return E_FAIL;

    port_ = std::move(port);
    readEvent_ = std::move(readEvent);
    writeEvent_ = std::move(writeEvent);
    ::ZeroMemory(&readBlock_, sizeof(readBlock_));
    ::ZeroMemory(&writeBlock_, sizeof(writeBlock_));
    readBlock_.hEvent = readEvent_.get();
    writeBlock_.hEvent = writeEvent_.get();

    // A port whose configuration failed stays open with the driver's previous settings.
    Configure();
    open_ = 1;
    return S_OK;
}

void CSerial::Configure() {
    wchar_t lineSettings[64];
    std::swprintf(lineSettings, sizeof(lineSettings) / sizeof(lineSettings[0]), L"baud=%d parity=N data=8 stop=1",
                  static_cast<int>(kBaudRate));

    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = kCommTimeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = kCommTimeoutMs;
    timeouts.ReadTotalTimeoutConstant = kCommTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = kCommTimeoutMs;
    timeouts.WriteTotalTimeoutConstant = kCommTimeoutMs;
    if (!::SetCommTimeouts(port_.get(), &timeouts)) return PrintFailedStep(L"SetCommTimeouts()");
    if (!::SetCommMask(port_.get(), kEventMask)) return PrintFailedStep(L"SetCommMask()");

    DCB dcb;
    ::ZeroMemory(&dcb, sizeof(dcb));
    if (!::GetCommState(port_.get(), &dcb)) return PrintFailedStep(L"GetCommState()");
    // Every field but XoffChar is set here; XoffChar stays as the driver reported it.
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = kBaudRate;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = 256;
    dcb.XoffLim = 256;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0x5C;
    dcb.EvtChar = 0;
    if (!::BuildCommDCBW(lineSettings, &dcb)) return PrintFailedStep(L"BuildCommDCB()");
    if (!::SetCommState(port_.get(), &dcb)) return PrintFailedStep(L"SetCommState()");
}

void CSerial::WriteByte(const unsigned char* byte) {
    DWORD written = 0;
    // The byte goes out from the object's own storage: a write whose cancel never completes
    // then cannot read the caller's memory after the call.
    writeByte_ = *byte;
    ::ResetEvent(writeBlock_.hEvent);
    if (::WriteFile(port_.get(), &writeByte_, 1, &written, &writeBlock_)) return;
    // Any failure other than a pending write counts the byte as handled.
    if (::GetLastError() != ERROR_IO_PENDING) return;
    if (::WaitForSingleObject(writeBlock_.hEvent, waits_.writeByte) == WAIT_OBJECT_0) {
        ::GetOverlappedResult(port_.get(), &writeBlock_, &written, FALSE);
    } else {
        // Timed out: the byte counts as handled all the same.
        Abandon(port_.get(), &writeBlock_, waits_.writeByte);
    }
}

unsigned int CSerial::Send(const unsigned char* data, unsigned int length) {
    if (!IsOpen() || (data == nullptr && length != 0)) return 0;
    // Every byte is counted whether or not its write went through.
    for (unsigned int i = 0; i < length; ++i) WriteByte(data + i);
    return length;
}

// Reads into the object's own buffer, so that a read whose cancel never completes cannot
// write into a stack frame that is gone.
unsigned int CSerial::ReadWaiting(unsigned int limit) {
    if (!IsOpen()) return 0;
    char* const buffer = readBuffer_;
    ::ZeroMemory(buffer, limit);
    DWORD errors = 0;
    COMSTAT status;
    ::ZeroMemory(&status, sizeof(status));
    if (!::ClearCommError(port_.get(), &errors, &status)) return 0;
    if (status.cbInQue == 0) return 0;

    const DWORD wanted = status.cbInQue < limit ? status.cbInQue : limit;
    DWORD read = 0;
    ::ResetEvent(readBlock_.hEvent);
    if (::ReadFile(port_.get(), buffer, wanted, &read, &readBlock_)) return read;
    if (::GetLastError() != ERROR_IO_PENDING) return 0;
    // The bytes were already queued, so a pending read is taken as complete: the requested
    // count is returned whether or not the wait succeeded.
    if (::WaitForSingleObject(readBlock_.hEvent, waits_.read) != WAIT_OBJECT_0) {
        Abandon(port_.get(), &readBlock_, waits_.read);
    }
    return wanted;
}

HRESULT CSerial::ReadReply(unsigned int limit, std::string* reply) {
    const unsigned int received = ReadWaiting(limit);
    if (received < 2) return E_FAIL;
    return CatchResult(E_FAIL, [&] {
        reply->assign(readBuffer_, received);
        return S_OK;
    });
}

HRESULT CSerial::ExecuteCmd(const unsigned char* data, unsigned int length, std::string* reply) {
    // Nowhere to put a reply is refused before anything is sent.
    if (!IsOpen() || reply == nullptr) return E_FAIL;
    if (Send(data, length) < 2) return E_FAIL;
    ::Sleep(waits_.replyPause);
    return ReadReply(kCommandReplyLimit, reply);
}

HRESULT CSerial::SendData(const unsigned char* data, unsigned int length) {
    if (!IsOpen() || (data == nullptr && length != 0)) return E_FAIL;
    return Send(data, length) == length ? S_OK : E_FAIL;
}

HRESULT CSerial::Recvmsg(std::string* reply) {
    if (!IsOpen() || reply == nullptr) return E_FAIL;
    return ReadReply(sizeof(readBuffer_), reply);
}

BOOL CSerial::Close() {
    if (!IsOpen()) return 1;
    readEvent_.reset();
    writeEvent_.reset();
    port_.reset();
    readBlock_.hEvent = nullptr;
    writeBlock_.hEvent = nullptr;
    open_ = 0;
    return 1;
}

void CSerial::Release() {
    delete this;
}
