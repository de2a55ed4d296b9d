// The simulated modem's profile: what a person writes and which bytes the modem answers with.
#include <gtest/gtest.h>

#include <string>

#include "ModemProfile.h"

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
    "> ATE0\n"
    "<\n"
    "> *\n"
    "< other\n";
const char kNoCatchAll[] = "> AT\\r\\n\n< \\r\\nOK\\r\\n\n";
const char kError[] = "\r\nERROR\r\n";

struct ProfileRow {
    const char* name;
    const char* text;
    std::string command;
    std::string expected;  // the reply, or the reason a refused text gives
};

class ModemProfileTest : public ::testing::TestWithParam<ProfileRow> {};

TEST_P(ModemProfileTest, ReplyOrRefusalWithLineAndReason) {
    const ProfileRow& row = GetParam();
    ModemProfile profile;
    ASSERT_TRUE(ModemProfile::Parse("> KEEP\n< kept\n", &profile, nullptr));
    std::string error;
    if (ModemProfile::Parse(row.text, &profile, &error)) {
        EXPECT_EQ(profile.ReplyTo(row.command), row.expected);
    } else {
        EXPECT_EQ(error, row.expected);
        EXPECT_EQ(profile.ReplyTo("KEEP"), "kept") << "a refused text leaves the profile as it was";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ModemProfileTest,
    ::testing::Values(
        ProfileRow{"ReplyLinesJoined", kProfile, "AT+GTCURCAR?\r\n", "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n"},
        ProfileRow{"PrefixMatch", kProfile, "AT+GTFDCAR=3\r\n", "\r\nOK\r\n"},
        ProfileRow{"ExactBeatsPrefix", kProfile, "AT+GTFDCAR=9\r\n", kError},
        ProfileRow{"ShortPrefix", kProfile, "AT+GTXYZ", "prefix"},
        ProfileRow{"EscapesAndTrailingBlankKept", kProfile, std::string("NUL\0\xff\\", 6), std::string("a\0b ", 4)},
        ProfileRow{"EmptyReply", kProfile, "ATE0", ""}, ProfileRow{"CatchAll", kProfile, "AT+UNKNOWN\r\n", "other"},
        ProfileRow{"WithoutLineEndOnlyThePrefixMatches", kProfile, "AT+GTCURCAR?", "prefix"},
        ProfileRow{"UnlistedGetsError", kNoCatchAll, "ATI\r\n", kError},
        ProfileRow{"ReplyBeforeCommand", "# c\n< x\n", "", "line 2: a reply before any \">\" command"},
        ProfileRow{"UnknownEscape", "> A\\q\n", "", "line 1: unknown escape \\q"},
        ProfileRow{"LoneBackslash", "> A\\\n", "", "line 1: a lone \\ at the end"},
        ProfileRow{"UnknownLine", "> A\nreply\n", "", "line 2: a line must begin with \">\", \"<\", \"=\" or \"#\""},
        ProfileRow{"DuplicateCommand", "> A\\r\n> A\\r\n", "", "line 2: the command A\\r is listed twice"},
        // "=" lines: the carrier model's factory values, read as the saved state is.
        ProfileRow{"CarrierLockWithoutComma", "> AT\n= lock 1\n", "",
                   "line 2: the carrier setting lock needs 0 or 1, a comma and a number, not \"1\""},
        ProfileRow{"CarrierNumberTooLarge", "= manual 65536\n", "",
                   "line 1: the carrier setting manual needs a number 0 to 65535, not \"65536\""},
        ProfileRow{"CarrierUnknownKey", "= current 1\n= colour 2\n", "", "line 2: unknown carrier setting \"colour\""},
        ProfileRow{"CarrierKeyTwice", "= auto 1\r\n# c\n= auto 0\n", "",
                   "line 3: the carrier setting auto is given twice"}),
    [](const ::testing::TestParamInfo<ProfileRow>& info) { return info.param.name; });

}  // namespace
