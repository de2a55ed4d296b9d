#pragma once
// A reference on the module that holds this code, for an object that the platform may call
// after the host has freed the module: while the object lives, the module stays mapped, and
// nothing waits for the platform at unload.
//
// How the reference goes back depends on the thread that ends the object. A thread that runs
// for a caller holding the module (an export, a tool's Release) gives it back at once
// (ReleaseNow): the caller's own reference keeps the code mapped until that thread has left.
// Any other thread (the platform's, after the channel let go) hands it to the Windows thread
// pool, and a timer callback gives it back a grace later through FreeLibraryWhenCallbackReturns:
// the pool frees the module only after that callback has returned, and the grace covers the
// few instructions that the ending thread still runs here after the hand-off. Without a timer
// the reference is kept until the process ends.

#include <windows.h>

#include <utility>

#include "EnvironmentMs.h"

class ModuleReference {
public:
    // COM's own delay before it frees a DLL that said it could be unloaded (CoFreeUnusedLibraries)
    // guards the same window: ten minutes.
    static constexpr DWORD kGraceMs = 10 * 60 * 1000;
    // Tests shorten it with OEM_UNLOAD_GRACE_MS.
    static DWORD GraceMs() { return EnvironmentMs("OEM_UNLOAD_GRACE_MS", kGraceMs); }

    // A failure leaves the reference empty: the module then lives by its other holders alone.
    ModuleReference() {
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&FreeAfterGrace),
                             &module_);
    }
    ~ModuleReference() {
        if (module_ == nullptr) return;
        // Without a timer the reference is kept for good: freeing it here could unmap the code
        // this destructor returns into.
        PTP_TIMER timer = ::CreateThreadpoolTimer(&FreeAfterGrace, module_, nullptr);
        if (timer == nullptr) return;
        // A negative due time counts from now, in 100 ns units.
        ULARGE_INTEGER due;
        due.QuadPart = static_cast<ULONGLONG>(-static_cast<LONGLONG>(GraceMs()) * 10000);
        FILETIME dueTime{due.LowPart, due.HighPart};
        ::SetThreadpoolTimer(timer, &dueTime, 0, 0);
    }
    ModuleReference(const ModuleReference&) = delete;
    ModuleReference& operator=(const ModuleReference&) = delete;

    // Only on a thread whose caller holds the module for as long as the thread runs here.
    void ReleaseNow() {
        if (HMODULE module = std::exchange(module_, nullptr)) ::FreeLibrary(module);
    }

private:
    static void CALLBACK FreeAfterGrace(PTP_CALLBACK_INSTANCE instance, void* module, PTP_TIMER timer) {
        ::CloseThreadpoolTimer(timer);  // freed by the pool once this callback has returned
        ::FreeLibraryWhenCallbackReturns(instance, static_cast<HMODULE>(module));
    }

    HMODULE module_ = nullptr;
};
