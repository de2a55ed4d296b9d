#include "support/NothingHeld.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/TestKit.h"
#include "tools/win/ScopedHandle.h"

bool ExportLockIsFree() {
    bool free = false;
    // From a thread of its own: the lock is recursive, so a thread that kept it would take it again.
    std::thread probe([&] {
        ScopedHandle lock(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "Local\\OemLockMutexABcdef"));
        HeldMutex held(lock && ::WaitForSingleObject(lock.get(), 0) == WAIT_OBJECT_0 ? lock.get() : nullptr);
        free = held.valid();
    });
    probe.join();
    return free;
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
