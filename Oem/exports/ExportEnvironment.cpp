#include "exports/ExportEnvironment.h"

#include "exports/ModuleGlobals.h"
#include "tools/GetToolObject.h"
#include "tools/ToolIds.h"

IGlobalTools::IMbimChannel* NewChannelFromFactory() {
    void* channel = nullptr;
    GetToolObject(ToolIds::IMbimChannel, &channel);
    return static_cast<IGlobalTools::IMbimChannel*>(channel);
}

ExportEnvironment ProcessEnvironment() {
    ExportEnvironment environment;
    environment.log = gModule.moduleLog.get();
    environment.exportLock = gModule.exportLock.get();
    environment.newChannel = &NewChannelFromFactory;
    return environment;
}
