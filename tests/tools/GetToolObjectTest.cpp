// The tool factory, reached as every consumer reaches it: by interface identifier.
#include <gtest/gtest.h>

#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolIds.h"

namespace {

template <typename Interface>
Interface* Make(const GUID& identifier) {
    void* object = nullptr;
    EXPECT_EQ(GetToolObject(identifier, &object), 1);
    return static_cast<Interface*>(object);
}

TEST(GetToolObject, IdentifierOffByOneByteLeavesVariableUntouched) {
    const GUID known[] = {ToolIds::IDeviceMsg, ToolIds::ILog,         ToolIds::IMbimChannel, ToolIds::IAtParser,
                          ToolIds::ILogEx,     ToolIds::IThreadQueue, ToolIds::IThreadPools};
    for (const GUID& id : known) {
        for (size_t byte = 0; byte < sizeof(GUID); ++byte) {
            GUID changed = id;
            reinterpret_cast<unsigned char*>(&changed)[byte] ^= 0x01;
            void* object = reinterpret_cast<void*>(0x1234);
            EXPECT_EQ(GetToolObject(changed, &object), 0) << "byte " << byte;
            EXPECT_EQ(object, reinterpret_cast<void*>(0x1234));
        }
    }
}

TEST(GetToolObject, SharedLogIsOneObjectThatOutlivesItsReceivers) {
    auto* first = Make<IGlobalTools::ILog>(ToolIds::ILog);
    auto* second = Make<IGlobalTools::ILog>(ToolIds::ILog);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    const ULONG held = first->AddRef();
    EXPECT_EQ(first->Release(), held - 1);
    EXPECT_GE(first->Release(), 2u) << "the library's own reference keeps the shared log";
    EXPECT_GE(second->Release(), 1u);
    auto* third = Make<IGlobalTools::ILog>(ToolIds::ILog);
    EXPECT_EQ(third, first);
    third->Release();
}

TEST(GetToolObject, EachLogExRequestMakesANewObject) {
    auto* first = Make<IGlobalTools::ILogEx>(ToolIds::ILogEx);
    auto* second = Make<IGlobalTools::ILogEx>(ToolIds::ILogEx);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    first->Release();
    second->WriteLog(2, "still usable after the other went");
    second->Release();
}

}  // namespace
