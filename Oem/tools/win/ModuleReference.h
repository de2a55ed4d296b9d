#pragma once
// A reference on the module that holds this code, for an object that the platform may call
// after the host has freed the module: while the object lives, the module stays mapped.
// Nothing waits for the platform at unload. When the object goes, the reference is handed to
// the Windows thread pool, and a timer callback gives it back a grace later through
// FreeLibraryWhenCallbackReturns. The pool frees the module only after that callback has
// returned, and the grace covers the few instructions that the object's last Release still
// runs here after the hand-off. So no code of this module runs once the module is gone.

#include <windows.h>

class ModuleReference {
public:
    static constexpr DWORD kGraceMs = 1000;

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
        due.QuadPart = static_cast<ULONGLONG>(-static_cast<LONGLONG>(kGraceMs) * 10000);
        FILETIME dueTime{due.LowPart, due.HighPart};
        ::SetThreadpoolTimer(timer, &dueTime, 0, 0);
    }
    ModuleReference(const ModuleReference&) = delete;
    ModuleReference& operator=(const ModuleReference&) = delete;

private:
    static void CALLBACK FreeAfterGrace(PTP_CALLBACK_INSTANCE instance, void* module, PTP_TIMER timer) {
        ::CloseThreadpoolTimer(timer);  // freed by the pool once this callback has returned
        ::FreeLibraryWhenCallbackReturns(instance, static_cast<HMODULE>(module));
    }

    HMODULE module_ = nullptr;
};
