// The simulated modem's profile: what a person writes and which bytes the modem answers with.
#include <gtest/gtest.h>

#include <string>

#include "../../sim/ModemProfile.h"

namespace {

using SimProfile::ModemProfile;

const char kProfile[] =
    "# comment\n"
    "> AT+GTCURCAR?\\r\\n\n"
    "< \\r\\n+GTCURCAR: 5\\r\\n\n"
    "< \\r\\nOK\\r\\n\n"
    "\n"
    "   > AT+GTFDCAR=*\r\n"
    "< \\r\\nOK\\r\\n\r\n"
    "> AT+GTFDCAR=9\\r\\n\n"
    "< \\r\\nERROR\\r\\n\n"
    "> AT+GT*\n"
    "< prefix\n"
    "> NUL\\0\\xff\\\\\n"
    "< a\\0b \n"
    ">  AT\n"
    "> ATE0\n"
    "<\n"
    "> *\n"
    "< other\n";

struct ReplyRow {
    const char* name;
    std::string command;
    std::string reply;
};

class ModemProfileReplyTest : public ::testing::TestWithParam<ReplyRow> {};

TEST_P(ModemProfileReplyTest, AnswersTheCommand) {
    ModemProfile profile;
    std::string error;
    ASSERT_TRUE(ModemProfile::Parse(kProfile, &profile, &error)) << error;
    EXPECT_EQ(profile.ReplyTo(GetParam().command), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ModemProfileReplyTest,
    ::testing::Values(ReplyRow{"ReplyLinesJoined", "AT+GTCURCAR?\r\n", "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n"},
                      ReplyRow{"PrefixMatch", "AT+GTFDCAR=3\r\n", "\r\nOK\r\n"},
                      ReplyRow{"ExactBeatsPrefix", "AT+GTFDCAR=9\r\n", "\r\nERROR\r\n"},
                      ReplyRow{"LongerPrefixWins", "AT+GTFDCAR=\r\n", "\r\nOK\r\n"},
                      ReplyRow{"ShortPrefix", "AT+GTXYZ", "prefix"},
                      ReplyRow{"EscapesAndTrailingBlankKept", std::string("NUL\0\xff\\", 6), std::string("a\0b ", 4)},
                      ReplyRow{"SecondBlankBelongsToTheCommand", " AT", ""}, ReplyRow{"EmptyReply", "ATE0", ""},
                      ReplyRow{"OtherCommand", "AT+UNKNOWN\r\n", "other"},
                      ReplyRow{"WithoutLineEndOnlyThePrefixMatches", "AT+GTCURCAR?", "prefix"}),
    [](const ::testing::TestParamInfo<ReplyRow>& info) { return info.param.name; });

TEST(ModemProfile, UnlistedCommandsGetErrorWithoutCatchAll) {
    ModemProfile profile;
    std::string error;
    ASSERT_TRUE(ModemProfile::Parse("> AT\\r\\n\n< \\r\\nOK\\r\\n\n", &profile, &error)) << error;
    EXPECT_EQ(profile.ReplyTo("AT\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(profile.ReplyTo("ATI\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(ModemProfile().ReplyTo("AT\r\n"), "\r\nERROR\r\n");
}

struct ErrorRow {
    const char* name;
    const char* text;
    const char* error;
};

class ModemProfileErrorTest : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(ModemProfileErrorTest, RefusedWithLineAndReason) {
    ModemProfile profile;
    ASSERT_TRUE(ModemProfile::Parse("> KEEP\n< kept\n", &profile, nullptr));
    std::string error;
    EXPECT_FALSE(ModemProfile::Parse(GetParam().text, &profile, &error));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(profile.ReplyTo("KEEP"), "kept") << "a refused text leaves the profile as it was";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ModemProfileErrorTest,
    ::testing::Values(ErrorRow{"ReplyBeforeCommand", "# c\n< x\n", "line 2: a reply before any \">\" command"},
                      ErrorRow{"UnknownEscape", "> A\\q\n", "line 1: unknown escape \\q"},
                      ErrorRow{"ShortHex", "> A\n< \\x4\n", "line 2: \\x needs two hex digits"},
                      ErrorRow{"LoneBackslash", "> A\\\n", "line 1: a lone \\ at the end"},
                      ErrorRow{"UnknownLine", "> A\nreply\n", "line 2: a line must begin with \">\", \"<\", \"=\" or \"#\""},
                      ErrorRow{"DuplicateCommand", "> A\\r\n> A\\r\n", "line 2: the command A\\r is listed twice"},
                      ErrorRow{"DuplicatePrefix", "> *\n> *\n", "line 2: the command * is listed twice"}),
    [](const ::testing::TestParamInfo<ErrorRow>& info) { return info.param.name; });

TEST(ModemProfile, EscapeIsReadBackByUnescape) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    std::string back;
    std::string error;
    ASSERT_TRUE(SimProfile::Unescape(SimProfile::Escape(bytes), &back, &error)) << error;
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(SimProfile::Escape(std::string("A\r\n\0\x7f", 5)), "A\\r\\n\\0\\x7F");
}

}  // namespace
