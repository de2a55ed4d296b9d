#include <windows.h>

#include "tools/GetToolObject.h"
#include "tools/ToolIds.h"
#include "exports/ExportEnvironment.h"
#include "tools/win/CatchResult.h"

// Runs under the loader lock: only the module log (which reads no file and starts no thread
// when made) and the export lock are created here. No exception reaches the loader: load
// succeeds with or without the module log, and the lock is made either way.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    ModuleGlobals& module = Module();
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            CatchAll([&module] {
                void* log = nullptr;
                GetToolObject(ToolIds::ILogEx, &log);
                module.moduleLog.reset(static_cast<IGlobalTools::ILogEx*>(log));
            });
            module.exportLock.reset(::CreateMutexA(nullptr, FALSE, "Local\\OemLockMutexABcdef"));
            break;
        case DLL_PROCESS_DETACH:
            CatchAll([&module] { module.moduleLog.reset(); });
            module.exportLock.reset();
            break;
        default:
            break;
    }
    return TRUE;
}
