#include "support/ModemE2e.h"

#include <gtest/gtest.h>

#include <thread>

bool ExportLockIsFree() {
    bool free = false;
    // From another thread: the lock is recursive, so its owner would take it again.
    std::thread probe([&] {
        HANDLE lock = ::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "Local\\OemLockMutexABcdef");
        if (lock == nullptr) return;
        free = ::WaitForSingleObject(lock, 20000) == WAIT_OBJECT_0;
        if (free) ::ReleaseMutex(lock);
        ::CloseHandle(lock);
    });
    probe.join();
    return free;
}

void ExpectModemLetGo(const SimModem& sim, int calls) {
    EXPECT_TRUE(ExportLockIsFree());
    EXPECT_TRUE(sim.WaitIdle(15000));
    EXPECT_EQ(sim->AdvisedSinks(), 0);
    // A late completion still waiting for its time holds its device service until then.
    const ULONGLONG end = ::GetTickCount64() + 15000;
    while (sim->LiveObjects() != 0 && ::GetTickCount64() < end) ::Sleep(10);
    EXPECT_EQ(sim->LiveObjects(), 0);
    EXPECT_EQ(sim->Advises(), calls);
    EXPECT_EQ(sim->Unadvises(), calls);
}

std::vector<std::string> ReceivedCommands(const SimModem& sim) {
    std::vector<std::string> commands;
    for (std::size_t i = 0; i < sim->CommandCount(); ++i) commands.push_back(sim.Command(i));
    return commands;
}
