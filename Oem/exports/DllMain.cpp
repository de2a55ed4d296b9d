#include <windows.h>

#include "tools/GetToolObject.h"
#include "tools/ToolIds.h"
#include "exports/ExportEnvironment.h"

// Runs under the loader lock: only the module log (which reads no file and starts no thread
// when made) and the export lock are created here.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    ModuleGlobals& module = Module();
    switch (reason) {
        case DLL_PROCESS_ATTACH: {
            void* log = nullptr;
            GetToolObject(ToolIds::ILogEx, &log);
            module.moduleLog = static_cast<IGlobalTools::ILogEx*>(log);
            module.exportLock = ::CreateMutexA(nullptr, FALSE, "Local\\OemLockMutexABcdef");
            break;
        }
        case DLL_PROCESS_DETACH:
            if (module.moduleLog) module.moduleLog->Release();
            if (module.exportLock) ::CloseHandle(module.exportLock);
            break;
        default:
            break;
    }
    return TRUE;
}
