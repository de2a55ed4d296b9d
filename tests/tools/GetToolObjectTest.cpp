// The tool factory, reached as every consumer reaches it: by interface identifier.
#include <gtest/gtest.h>

#include <typeinfo>

#include "support/ToolObjects.h"
#include "tools/ToolIds.h"
#include "tools/log/CLog.h"
#include "tools/log/CLogEx.h"
#include "tools/mbim/CMbimDeviceEx.h"
#include "tools/parser/CKestoParser.h"
#include "tools/serial/CSerial.h"
#include "tools/threads/CThreadPools.h"
#include "tools/threads/CThreadQueue.h"

namespace {

using namespace IGlobalTools;

// Two requests give the tool, one object when shared (the library's reference keeps it for the
// next receiver), else two; an identifier with any bit of any byte changed gives nothing.
template <typename Interface, typename Tool>
void ExpectTool(const GUID& identifier, bool shared) {
    SCOPED_TRACE(typeid(Tool).name());
    void* objects[2] = {};
    for (void*& object : objects) ASSERT_EQ(GetToolObject(identifier, &object), 1);
    ToolPtr<Interface> first(static_cast<Interface*>(objects[0])), second(static_cast<Interface*>(objects[1]));
    EXPECT_TRUE(typeid(*first) == typeid(Tool)) << typeid(*first).name();
    EXPECT_EQ(first == second, shared);
    first.reset();
    second.reset();
    EXPECT_TRUE(!shared || MakeTool<Interface>(identifier).get() == objects[0]);
    for (size_t byte = 0; byte < sizeof(GUID); ++byte) {
        GUID changed = identifier;
        reinterpret_cast<unsigned char*>(&changed)[byte] ^= 0x01;
        void* object = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(GetToolObject(changed, &object), 0) << "byte " << byte;
        EXPECT_EQ(object, reinterpret_cast<void*>(0x1234));
    }
}

TEST(GetToolObject, EachIdentifierGivesItsToolAndAnyOtherNothing) {
    ExpectTool<IDeviceMsg, CSerial>(ToolIds::IDeviceMsg, false);
    ExpectTool<ILog, CLog>(ToolIds::ILog, true);
    ExpectTool<IMbimChannel, CMbimDeviceEx>(ToolIds::IMbimChannel, false);
    ExpectTool<IAtParser, CKestoParser>(ToolIds::IAtParser, false);
    ExpectTool<ILogEx, CLogEx>(ToolIds::ILogEx, false);
    ExpectTool<IThreadQueue, CThreadQueue>(ToolIds::IThreadQueue, false);
    ExpectTool<IThreadPools, CThreadPools>(ToolIds::IThreadPools, false);
}

}  // namespace
