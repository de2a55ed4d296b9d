#include "support/NothingHeld.h"

#include <gtest/gtest.h>

#include "support/TestKit.h"
#include "tools/win/ScopedHandle.h"

namespace {
// The export lock taken at once on this thread, if it can be.
struct ExportLockHold {
    ScopedHandle lock{::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "Local\\OemLockMutexABcdef")};
    HeldMutex held{lock && ::WaitForSingleObject(lock.get(), 0) == WAIT_OBJECT_0 ? lock.get() : nullptr};
};
}  // namespace

bool ExportLockIsFree() {
    // From a thread of its own: the lock is recursive, so a thread that kept it would take it again.
    return std::async(std::launch::async, [] { return ExportLockHold().held.valid(); }).get();
}

ExportLockHolder::ExportLockHolder() {
    std::promise<bool> taken;
    thread_ = std::thread([&taken, letGo = letGo_.get_future()] {
        const ExportLockHold hold;
        taken.set_value(hold.held.valid());
        letGo.wait();
    });
    EXPECT_TRUE(taken.get_future().get()) << "the test holds the export lock";
}

ExportLockHolder::~ExportLockHolder() {
    letGo_.set_value();
    thread_.join();
}

std::vector<std::string> ReceivedCommands(const SimModem& sim) {
    std::vector<std::string> commands;
    for (std::size_t i = 0; i < sim->CommandCount(); ++i) {
        std::uint32_t id = 0;
        commands.push_back(sim.Command(i, &id));
        EXPECT_EQ(id, 1u) << "command id of " << commands.back();
    }
    return commands;
}

void ExpectNothingHeld(const SimModem& sim, int channels) {
    EXPECT_TRUE(ExportLockIsFree());
    EXPECT_TRUE(WaitUntil([&] { return sim->CompletionsInFlight() == 0 && sim->LiveObjects() == 0; }, 15000))
        << sim->LiveObjects() << " simulator objects alive";
    EXPECT_EQ(sim->AdvisedSinks(), 0);
    EXPECT_EQ(sim->Advises(), channels);
    EXPECT_EQ(sim->Unadvises(), channels);
    EXPECT_EQ(sim->SessionCloses(), sim->SessionOpens());
}
