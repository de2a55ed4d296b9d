#include <windows.h>

#include "exports/ModuleGlobals.h"
#include "tools/GetToolObject.h"
#include "tools/ToolIds.h"
#include "tools/win/CatchResult.h"

// Runs under the loader lock: only the module log (which reads no file and starts no thread
// when made) and the export lock are created here. No exception reaches the loader: load
// succeeds with or without the module log, and the lock is made either way.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            CatchAll([] {
                void* log = nullptr;
                GetToolObject(ToolIds::ILogEx, &log);
                // The factory of this module makes the extended log as the class it is.
                gModule.moduleLog.reset(static_cast<CLogEx*>(static_cast<IGlobalTools::ILogEx*>(log)));
            });
            gModule.exportLock = CreateExportLock();
            break;
        case DLL_PROCESS_DETACH:
            CatchAll([] { gModule.moduleLog.reset(); });
            gModule.exportLock.reset();
            break;
        default:
            break;
    }
    return TRUE;
}
