#pragma once

#include <windows.h>

// How long the channel and its event sink wait, in milliseconds. The shipped library uses the
// defaults; tests pass short ones.
struct MbimWaits {
    DWORD sessionMs = 5000;     // a command or data session to open or close
    DWORD replyMs = 5000;       // the reply of the command in flight
    DWORD requestIdMs = 12288;  // a completion for the channel to have stored its request id
};
