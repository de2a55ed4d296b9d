#pragma once
// The carrier-id benchmark's floor: a client doing the work OEM_GetCurrentCarrierID must do and
// nothing else, without the library: the export lock held around the call, one channel, the
// reply upper-cased and parsed, and one level read for every line the export writes.

#include <windows.h>

#include <cstdint>

#include "LevelRead.h"

// The lines one successful call writes, each after a read of "LOG_LV" whether it is written
// or not. Module log: entry, open success, response, exit. Shared log: ready state, session
// not open, session opened, OpenSession success, SetCommand success, completion called, reply
// appended, command response success.
constexpr int kLinesPerCall = 12;

// The carrier the modem runs, or -1 when it gave no answer; exportLock is the client's own
// handle on the export lock.
std::int32_t ClientCarrierId(HANDLE exportLock, const LevelRead& logLine);
