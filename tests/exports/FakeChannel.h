#pragma once
// A channel that stands in for the AT-over-MBIM one: it answers from a script and records
// what it was asked, so tests assert on the exact bytes an export sent.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "exports/ExportEnvironment.h"
#include "support/ToolObjects.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolIds.h"

struct FakeReply {
    HRESULT result = S_OK;
    std::string bytes;  // replaces the response string when result is S_OK
    bool throws = false;
};

inline FakeReply ReplyWith(std::string bytes) {
    FakeReply reply;
    reply.bytes = std::move(bytes);
    return reply;
}
inline FakeReply FailedWith(HRESULT result) {
    FakeReply reply;
    reply.result = result;
    return reply;
}
inline FakeReply ThrowingReply() {
    FakeReply reply;
    reply.throws = true;
    return reply;
}

struct FakeChannelScript {
    bool noChannel = false;
    HRESULT openResult = S_OK;
    std::vector<FakeReply> replies;  // one per ExecuteCmd, in order; missing ones fail

    // What happened, filled in by the channel.
    std::vector<std::string> commands;
    std::vector<std::wstring> serviceIds;
    std::vector<std::uint32_t> commandIds;
    std::vector<bool> parserGiven;
    int channelsMade = 0;
    int opens = 0;
    int releases = 0;
    // Whether the export lock could be taken by another thread while a command ran.
    std::vector<bool> lockFreeDuringCommand;
};

inline FakeChannelScript NoChannel() {
    FakeChannelScript script;
    script.noChannel = true;
    return script;
}
inline FakeChannelScript OpenFails() {
    FakeChannelScript script;
    script.openResult = E_FAIL;
    return script;
}
inline FakeChannelScript Answering(std::vector<FakeReply> replies) {
    FakeChannelScript script;
    script.replies = std::move(replies);
    return script;
}
inline FakeChannelScript Answer(std::string bytes) {
    return Answering({ReplyWith(std::move(bytes))});
}

class FakeChannel : public IGlobalTools::IMbimChannel {
public:
    FakeChannel(FakeChannelScript& script, HANDLE exportLock) : script_(script), exportLock_(exportLock) {}

    HRESULT Open() override;
    HRESULT ExecuteCmd(const char* command, std::uint32_t length, std::string* response,
                       IGlobalTools::IAtParser* parser, const wchar_t* serviceId, std::uint32_t commandId) override;
    HRESULT OpenSession(const wchar_t*) override { return E_NOTIMPL; }
    HRESULT SendData(const char*, std::uint32_t, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT Recvmsg(std::string*) override { return E_NOTIMPL; }
    void CloseSession() override {}
    HRESULT OpenDataSession(const wchar_t*) override { return E_NOTIMPL; }
    HRESULT RecvDataMsg(std::string*) override { return E_NOTIMPL; }
    void CloseDataSession() override {}
    void Release() override;

private:
    FakeChannelScript& script_;
    HANDLE exportLock_;
};

// An environment whose channel source is the fake, with a real export lock (a private
// mutex, so tests can watch it) and an optional module log.
class FakeEnvironment {
public:
    explicit FakeEnvironment(IGlobalTools::ILogEx* log = nullptr, bool withLock = true);
    ~FakeEnvironment();
    FakeEnvironment(const FakeEnvironment&) = delete;
    FakeEnvironment& operator=(const FakeEnvironment&) = delete;

    FakeChannelScript& script() { return script_; }
    const ExportEnvironment& environment() const { return environment_; }
    // True when another thread could take the export lock right now.
    bool LockIsFree() const;

private:
    static IGlobalTools::IMbimChannel* NewFake();

    FakeChannelScript script_;
    ExportEnvironment environment_;
};

using ModuleLog = ToolPtr<IGlobalTools::ILogEx>;
inline ModuleLog NewModuleLog() {
    return MakeTool<IGlobalTools::ILogEx>(ToolIds::ILogEx);
}

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

// The single AT command an export sent, with the fixed arguments, under the export lock.
inline void ExpectOneAtCommand(const FakeChannelScript& script, const std::string& command) {
    ASSERT_EQ(script.commands.size(), 1u);
    EXPECT_EQ(script.commands[0], command);
    EXPECT_EQ(script.serviceIds[0], L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}");
    EXPECT_EQ(script.commandIds[0], 1u);
    EXPECT_FALSE(script.parserGiven[0]);
    EXPECT_FALSE(script.lockFreeDuringCommand[0]) << "lock held while the command runs";
}
