#include "exports/ExportEnvironment.h"

#include "tools/GetToolObject.h"
#include "tools/ToolIds.h"

ModuleGlobals& Module() {
    static ModuleGlobals globals;
    return globals;
}

IGlobalTools::IMbimChannel* NewChannelFromFactory() {
    void* channel = nullptr;
    GetToolObject(ToolIds::IMbimChannel, &channel);
    return static_cast<IGlobalTools::IMbimChannel*>(channel);
}

ExportEnvironment ProcessEnvironment() {
    ExportEnvironment environment;
    environment.log = Module().moduleLog.get();
    environment.exportLock = Module().exportLock.get();
    environment.newChannel = &NewChannelFromFactory;
    return environment;
}
