#pragma once
// A channel that stands in for the AT-over-MBIM one (FakeChannel.cpp): it answers from a script
// and records what it was asked, so tests assert on the exact bytes an export sent.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "exports/ExportEnvironment.h"
#include "support/LogFiles.h"
#include "support/RowName.h"
#include "support/ToolObjects.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolIds.h"

struct FakeReply {
    HRESULT result = S_OK;
    std::string bytes;  // replaces the response string when result is S_OK
    bool throws = false;
};
inline FakeReply ReplyWith(std::string bytes) {
    return {S_OK, std::move(bytes), false};
}
inline FakeReply FailedWith(HRESULT result) {
    return {result, "", false};
}
inline FakeReply ThrowingReply() {
    return {S_OK, "", true};
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
    int releases = 0;
    // Whether the export lock could be taken by another thread while a command ran.
    std::vector<bool> lockFreeDuringCommand;
};

inline FakeChannelScript Answering(std::vector<FakeReply> replies) {
    FakeChannelScript script;
    script.replies = std::move(replies);
    return script;
}
inline FakeChannelScript Answer(std::string bytes) {
    return Answering({ReplyWith(std::move(bytes))});
}
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

// An environment whose channel source is the fake, with a real export lock (a private
// mutex, so tests can watch it) and an optional module log.
class FakeEnvironment {
public:
    explicit FakeEnvironment(IGlobalTools::ILogEx* log = nullptr, bool withLock = true);
    ~FakeEnvironment();
    FakeEnvironment(const FakeEnvironment&) = delete;
    FakeEnvironment& operator=(const FakeEnvironment&) = delete;

    FakeChannelScript& script() { return script_; }
    const FakeChannelScript& script() const { return script_; }
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

// Both given back: every channel released once and the export lock free again.
inline void ExpectCleanedUp(const FakeEnvironment& fake) {
    EXPECT_EQ(fake.script().releases, fake.script().channelsMade) << "every channel released once";
    EXPECT_TRUE(fake.LockIsFree()) << "export lock released";
}

// Runs body(fake, folder, level) once at LOG_LV 2 and once at 0, each with a fresh module log.
template <typename Body>
void AtLevelsTwoAndZero(const std::string& name, Body body) {
    for (const std::string level : {"2", "0"}) {
        SCOPED_TRACE("LOG_LV " + level);
        TestLogFolder folder(level, name);
        ModuleLog log = NewModuleLog();
        FakeEnvironment fake(log.get());
        body(fake, folder, level);
    }
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
