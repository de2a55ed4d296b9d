// The parser as consumers reach it: through the tool factory and the interface's slots.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ToolObjects.h"
#include "tools/ToolIds.h"

namespace {

// Each slot gets an answer no other slot would give, so a slot out of order shows.
TEST(KestoParserTool, EverySlotDoesItsOwnOperation) {
    auto parser = MakeTool<IGlobalTools::IAtParser>(ToolIds::IAtParser);
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
