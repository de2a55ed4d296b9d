#include "GetToolObject.h"

#include "IGlobalTools.h"
#include "ToolIds.h"
#include "log/CLog.h"
#include "log/CLogEx.h"

namespace {

using ToolCreator = void* (*)();

struct ToolRow {
    const GUID* identifier;
    ToolCreator create;
};

// Each creator hands out the interface pointer, never the class pointer: callers cast the
// untyped result back to the interface they asked for.
void* SharedLog() {
    return static_cast<IGlobalTools::ILog*>(GetSharedLog());
}
void* NewLogEx() {
    return static_cast<IGlobalTools::ILogEx*>(new CLogEx());
}

// Tested in this order; the first equal row decides.
const ToolRow kToolRows[] = {
    {&ToolIds::ILog, &SharedLog},
    {&ToolIds::ILogEx, &NewLogEx},
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
