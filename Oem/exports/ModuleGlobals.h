#pragma once

#include "tools/ToolPtr.h"
#include "tools/log/CLogEx.h"
#include "tools/win/ScopedHandle.h"

// The process's module log and export lock, made at load and ended at unload.
struct ModuleGlobals {
    ToolPtr<CLogEx> moduleLog;
    ScopedHandle exportLock;
};

// One object at namespace scope, never a function-local static: the first pass through a
// static's guard makes the statically linked threads runtime keep a record of the loading
// thread, a thread handle and an event that nothing frees when the DLL unloads.
extern ModuleGlobals gModule;

// The export lock, the named mutex Local\OemLockMutexABcdef of this logon session: made,
// or opened when another module made it first; null on failure. Oem.dll makes it at load; the
// host tool takes the same lock while it talks to the modem.
ScopedHandle CreateExportLock();
