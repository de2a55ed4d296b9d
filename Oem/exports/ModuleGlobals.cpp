#include "exports/ModuleGlobals.h"

ModuleGlobals gModule;

ScopedHandle CreateExportLock() {
    return ScopedHandle(::CreateMutexA(nullptr, FALSE, "Local\\OemLockMutexABcdef"));
}
