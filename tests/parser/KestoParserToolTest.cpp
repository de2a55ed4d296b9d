// The parser as consumers reach it: through the tool factory and the interface's slots.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolIds.h"

namespace {

using IGlobalTools::IAtParser;

IAtParser* NewParser() {
    void* object = nullptr;
    EXPECT_EQ(GetToolObject(ToolIds::IAtParser, &object), 1);
    return static_cast<IAtParser*>(object);
}

// Each slot gets an answer no other slot would give, so a slot out of order shows.
TEST(KestoParserTool, EverySlotDoesItsOwnOperation) {
    IAtParser* parser = NewParser();
    IAtParser* other = NewParser();
    ASSERT_NE(parser, nullptr);
    EXPECT_NE(parser, other) << "each request is a new object";
    other->Release();

    std::string out = ">";
    const char framed[] = {3, 0, 0, 0, 'a', 'b', 'c'};
    parser->ExtractPayload(framed, sizeof(framed), &out);
    parser->ExtractPayload("\r\nOK\r\n", 6, &out);
    EXPECT_EQ(out, ">abc\r\nOK\r\n");
    EXPECT_EQ(parser->KeepChars("12:34", "0123456789"), "1234");
    EXPECT_EQ(parser->RemoveChars("\"A\"", "\""), "A");
    EXPECT_EQ(parser->HexToDec("0x1A"), "26");
    std::vector<std::string> parts{"first"};
    parser->Split("a,b,,c,", ",", &parts);
    EXPECT_EQ(parts, (std::vector<std::string>{"first", "a", "b", "", "c"}));
    EXPECT_EQ(parser->GetBetween("\r\n+GTCURCAR: 5\r\n\r\nOK\r\n", "+GTCURCAR:", "\r\n"), " 5");
    parser->ExtractPayload("abc", 3, nullptr);  // null outputs are ignored
    parser->Split("a,b", ",", nullptr);
    parser->Release();
}

}  // namespace
