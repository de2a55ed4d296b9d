// The tool factory, reached as every consumer reaches it: by interface identifier.
#include <gtest/gtest.h>

#include <typeinfo>

#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
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

template <typename Interface>
const std::type_info& TypeOf(void* object) {
    return typeid(*static_cast<Interface*>(object));
}
template <typename Interface>
void Release(void* object) {
    static_cast<Interface*>(object)->Release();
}

struct FactoryRow {
    const GUID& identifier;
    const std::type_info& (*typeOf)(void*);
    void (*release)(void*);
    const std::type_info& tool;
    bool shared;  // one object for every request, kept alive by the library
};

const FactoryRow kRows[] = {
    {ToolIds::IDeviceMsg, TypeOf<IDeviceMsg>, Release<IDeviceMsg>, typeid(CSerial), false},
    {ToolIds::ILog, TypeOf<ILog>, Release<ILog>, typeid(CLog), true},
    {ToolIds::IMbimChannel, TypeOf<IMbimChannel>, Release<IMbimChannel>, typeid(CMbimDeviceEx), false},
    {ToolIds::IAtParser, TypeOf<IAtParser>, Release<IAtParser>, typeid(CKestoParser), false},
    {ToolIds::ILogEx, TypeOf<ILogEx>, Release<ILogEx>, typeid(CLogEx), false},
    {ToolIds::IThreadQueue, TypeOf<IThreadQueue>, Release<IThreadQueue>, typeid(CThreadQueue), false},
    {ToolIds::IThreadPools, TypeOf<IThreadPools>, Release<IThreadPools>, typeid(CThreadPools), false},
};

TEST(GetToolObject, EachIdentifierGivesItsToolAndAnyOtherNothing) {
    for (const FactoryRow& row : kRows) {
        SCOPED_TRACE(row.tool.name());
        void* first = nullptr;
        void* second = nullptr;
        ASSERT_EQ(GetToolObject(row.identifier, &first), 1);
        ASSERT_EQ(GetToolObject(row.identifier, &second), 1);
        ASSERT_TRUE(row.typeOf(first) == row.tool) << row.typeOf(first).name();
        EXPECT_EQ(first == second, row.shared);
        row.release(first);
        row.release(second);
        if (row.shared) {  // the library's own reference keeps it alive for the next receiver
            ASSERT_EQ(GetToolObject(row.identifier, &second), 1);
            EXPECT_EQ(second, first);
            row.release(second);
        }
        for (size_t byte = 0; byte < sizeof(GUID); ++byte) {
            GUID changed = row.identifier;
            reinterpret_cast<unsigned char*>(&changed)[byte] ^= 0x01;
            void* object = reinterpret_cast<void*>(0x1234);
            EXPECT_EQ(GetToolObject(changed, &object), 0) << "byte " << byte;
            EXPECT_EQ(object, reinterpret_cast<void*>(0x1234));
        }
    }
}

}  // namespace
