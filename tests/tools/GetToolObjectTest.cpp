// The tool factory, reached as every consumer reaches it: by interface identifier; and the
// parser tool's slots as they reach them.
#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

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

// Each slot gets an answer no other slot would give, so a slot out of order shows.
TEST(KestoParserTool, EverySlotDoesItsOwnOperation) {
    auto parser = MakeTool<IAtParser>(ToolIds::IAtParser);
    ASSERT_NE(parser, nullptr);
    std::string out = ">";
    parser->ExtractPayload("\3\0\0\0abc", 7, &out);
    parser->ExtractPayload("\r\nOK\r\n", 6, &out);
    EXPECT_EQ(out, ">abc\r\nOK\r\n");
    EXPECT_EQ(parser->KeepChars("12:34", "0123456789"), "1234");
    EXPECT_EQ(parser->RemoveChars("\"A\"", "\""), "A");
    EXPECT_EQ(parser->HexToDec("0x1A"), "26");
    std::vector<std::string> parts{"first"};
    parser->Split("a,b,,c,", ",", &parts);
    EXPECT_EQ(parts, (std::vector<std::string>{"first", "a", "b", "", "c"}));
    EXPECT_EQ(parser->GetBetween("\r\n+GTCURCAR: 5\r\n\r\nOK\r\n", "+GTCURCAR:", "\r\n"), " 5");
}

}  // namespace
