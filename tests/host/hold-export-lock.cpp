// A second process that holds Oem.dll's export lock, as another host would: takes it by its
// name, says "held" on standard output, and lets go when its standard input closes.
#include <windows.h>

#include <cstdio>

#include "tools/win/ScopedHandle.h"

int main() {
    const ScopedHandle lock(::CreateMutexA(nullptr, FALSE, "Local\\OemLockMutexABcdef"));
    const HeldMutex held = WaitAndHold(lock.get(), 0);
    if (!held) return 1;
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
