#include "exports/FakeChannel.h"

#include <future>
#include <stdexcept>

namespace {
// The channel source is a plain function pointer, as in the shipped library; the active
// fake environment is found through this one slot (tests run one export at a time).
FakeEnvironment* g_active = nullptr;
FakeChannelScript* g_script = nullptr;

bool LockFreeFromOtherThread(HANDLE lock) {
    if (lock == nullptr) return true;
    return std::async(std::launch::async,
                      [lock] {
                          if (::WaitForSingleObject(lock, 0) != WAIT_OBJECT_0) return false;
                          ::ReleaseMutex(lock);
                          return true;
                      })
        .get();
}

class FakeChannel : public IGlobalTools::IMbimChannel {
public:
    FakeChannel(FakeChannelScript& script, HANDLE exportLock) : script_(script), exportLock_(exportLock) {}

    HRESULT Open() override { return script_.openResult; }
    HRESULT ExecuteCmd(const char* command, std::uint32_t length, std::string* response,
                       IGlobalTools::IAtParser* parser, const wchar_t* serviceId, std::uint32_t commandId) override {
        const size_t index = script_.commands.size();
        script_.commands.emplace_back(command, length);
        script_.serviceIds.emplace_back(serviceId ? serviceId : L"");
        script_.commandIds.push_back(commandId);
        script_.parserGiven.push_back(parser != nullptr);
        script_.lockFreeDuringCommand.push_back(LockFreeFromOtherThread(exportLock_));
        if (index >= script_.replies.size()) return E_FAIL;
        const FakeReply& reply = script_.replies[index];
        if (reply.throws) throw std::runtime_error("channel failure");
        if (reply.result == S_OK) *response = reply.bytes;
        return reply.result;
    }
    HRESULT OpenSession(const wchar_t*) override { return E_NOTIMPL; }
    HRESULT SendData(const char*, std::uint32_t, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT Recvmsg(std::string*) override { return E_NOTIMPL; }
    void CloseSession() override {}
    HRESULT OpenDataSession(const wchar_t*) override { return E_NOTIMPL; }
    HRESULT RecvDataMsg(std::string*) override { return E_NOTIMPL; }
    void CloseDataSession() override {}
    void Release() override {
        ++script_.releases;
        delete this;
    }

private:
    FakeChannelScript& script_;
    HANDLE exportLock_;
};
}  // namespace

FakeEnvironment::FakeEnvironment(IGlobalTools::ILogEx* log, bool withLock) {
    environment_.log = log;
    environment_.exportLock = withLock ? ::CreateMutexA(nullptr, FALSE, nullptr) : nullptr;
    environment_.newChannel = &FakeEnvironment::NewFake;
    g_active = this;
    g_script = &script_;
}

FakeEnvironment::~FakeEnvironment() {
    if (environment_.exportLock) ::CloseHandle(environment_.exportLock);
    g_active = nullptr;
    g_script = nullptr;
}

bool FakeEnvironment::LockIsFree() const {
    return LockFreeFromOtherThread(environment_.exportLock);
}

IGlobalTools::IMbimChannel* FakeEnvironment::NewFake() {
    if (g_script->noChannel) return nullptr;
    ++g_script->channelsMade;
    return new FakeChannel(*g_script, g_active->environment_.exportLock);
}
