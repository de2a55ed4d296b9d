#pragma once
// Oem.dll's export lock as a test reaches it, and the checks that a call let go of everything it took.

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/SimModem.h"

// Whether another thread can take Oem.dll's export lock at once.
bool ExportLockIsFree();

// Holds the export lock from a thread of its own while alive, as any other holder by its name would.
class ExportLockHolder {
public:
    ExportLockHolder();
    ~ExportLockHolder();

private:
    std::promise<void> letGo_;
    std::thread thread_;
};

// The commands the modem received in order; each must have carried command id 1.
std::vector<std::string> ReceivedCommands(const SimModem& sim);

// After export calls that opened `channels` channels: the export lock free, no completion in
// flight, no sink advised, no simulator object alive (a late completion may hold one until it
// is delivered), each channel advised and unadvised once, and every session opened here closed.
void ExpectNothingHeld(const SimModem& sim, int channels);
