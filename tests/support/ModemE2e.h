#pragma once
// Checks shared by the end-to-end tests that call the shipped DLL's exports against the
// simulated modem.

#include <cstdint>
#include <string>
#include <vector>

#include "support/SimModem.h"

// Whether another thread can take the export lock now, waiting a while for a call of another
// test process to end: a lock this process kept never frees.
bool ExportLockIsFree();

// After calls export calls that each opened one channel: no completion in flight, no sink
// left advised, no simulator object alive, each channel advised and unadvised once, and the
// export lock free.
void ExpectModemLetGo(const SimModem& sim, int calls);

// The commands the modem received, in order.
std::vector<std::string> ReceivedCommands(const SimModem& sim);
