#pragma once
// doctor's walk through the platform: the export lock, then the eight steps an AT command
// takes through the Mobile Broadband API, each with its platform call and result, what was
// found or what failed, and what to do about a failure. It shows nothing itself: each
// finished step goes to the caller, which prints it (DoctorCommand.cpp).

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "HostExit.h"
#include "platform/MbnApi.h"
#include "tools/win/ScopedHandle.h"

enum class StepOutcome { Ok, Failed, Skipped };

// An interface step 3 found.
struct InterfaceSeen {
    std::string id;
    MBN_READY_STATE state;
    const char* ready;  // the ready state's name
};

// One step of the walk.
struct StepLine {
    int exitCode = kExitAnswered;  // 10 plus the step's number
    const char* title = "";
    StepOutcome outcome = StepOutcome::Skipped;  // until the step runs
    const char* call = nullptr;                  // the platform call whose result is shown
    HRESULT result = S_OK;
    std::string detail;                     // what was found, or what failed
    std::string advice;                     // what to do about a failure
    std::vector<InterfaceSeen> interfaces;  // step 3: each interface found
    std::optional<std::string> reply;       // step 7: the reply, when one came
};

class DoctorWalk {
public:
    // Takes the export lock, waiting 10 s for it at most (OEMHOST_LOCK_WAIT_MS milliseconds when
    // that is set); held until the walk goes away, so that it never interleaves with a host
    // calling the exports. A stuck holder is what doctor reports, so it does not wait without end.
    DoctorWalk();
    DoctorWalk(const DoctorWalk&) = delete;
    DoctorWalk& operator=(const DoctorWalk&) = delete;

    bool lockHeld() const { return static_cast<bool>(held_); }

    // Walks the steps, handing each to shown as it is done: the lock's line first when another
    // process held it for all of the wait, then the eight steps (those after one that left
    // nothing to go on skipped). The exit code: 0 when every step is ok, 10 for the lock, else
    // 10 plus the number of the first step that failed.
    int Run(const std::function<void(const StepLine&)>& shown);

private:
    ScopedHandle exportLock_;
    DWORD waitMs_;
    DWORD waited_ = WAIT_FAILED;
    HeldMutex held_;
};
