#include "GetToolObject.h"

#include "IGlobalTools.h"
#include "ToolIds.h"
#include "log/CLog.h"
#include "log/CLogEx.h"
#include "mbim/CMbimDeviceEx.h"
#include "parser/CKestoParser.h"
#include "serial/CSerial.h"
#include "threads/CThreadPools.h"
#include "threads/CThreadQueue.h"

namespace {

using ToolCreator = void* (*)();

struct ToolRow {
    const GUID* identifier;
    ToolCreator create;
};

// Each creator hands out the interface pointer, never the class pointer: callers cast the
// untyped result back to the interface they asked for.
void* NewSerial() {
    return static_cast<IGlobalTools::IDeviceMsg*>(new CSerial());
}
void* SharedLog() {
    return static_cast<IGlobalTools::ILog*>(GetSharedLog());
}
// The shipped waits: 5000 ms for a session, 5000 ms for a reply, 12288 ms for a request id.
void* NewMbimChannel() {
    return static_cast<IGlobalTools::IMbimChannel*>(new CMbimDeviceEx(MbimWaits()));
}
void* NewParser() {
    return static_cast<IGlobalTools::IAtParser*>(new CKestoParser());
}
void* NewLogEx() {
    return static_cast<IGlobalTools::ILogEx*>(new CLogEx());
}
// The shipped limit of 65535 jobs counted at once.
void* NewThreadQueue() {
    return static_cast<IGlobalTools::IThreadQueue*>(new CThreadQueue(CThreadQueue::kJobLimit));
}
// The shipped 300 ms pause before the pool grows.
void* NewThreadPools() {
    return static_cast<IGlobalTools::IThreadPools*>(new CThreadPools(CThreadPools::kGrowthPauseMs));
}

// Tested in this order; the first equal row decides.
const ToolRow kToolRows[] = {
    {&ToolIds::IDeviceMsg, &NewSerial},        {&ToolIds::ILog, &SharedLog},  {&ToolIds::IMbimChannel, &NewMbimChannel},
    {&ToolIds::IAtParser, &NewParser},         {&ToolIds::ILogEx, &NewLogEx}, {&ToolIds::IThreadQueue, &NewThreadQueue},
    {&ToolIds::IThreadPools, &NewThreadPools},
};

}  // namespace

int GetToolObject(REFGUID identifier, void** object) {
    for (const ToolRow& row : kToolRows) {
        if (IsEqualGUID(identifier, *row.identifier)) {
            *object = row.create();
            return 1;
        }
    }
    return 0;
}
