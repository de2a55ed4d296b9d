#include "exports/FakeChannel.h"

#include <future>

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
}  // namespace

HRESULT FakeChannel::Open() {
    ++script_.opens;
    return script_.openResult;
}

HRESULT FakeChannel::ExecuteCmd(const char* command, std::uint32_t length, std::string* response,
                                IGlobalTools::IAtParser* parser, const wchar_t* serviceId, std::uint32_t commandId) {
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

void FakeChannel::Release() {
    ++script_.releases;
    delete this;
}

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
