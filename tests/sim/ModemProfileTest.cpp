// The simulated modem's profile: what a person writes and which bytes the modem answers with.
#include <gtest/gtest.h>

#include <string>

#include "ModemProfile.h"
#include "support/TestKit.h"

namespace {

using SimProfile::ModemProfile;

// clang-format off
const char kProfile[] =
    "# comment\n" "> AT+GTCURCAR?\\r\\n\n" "< \\r\\n+GTCURCAR: 5\\r\\n\n" "< \\r\\nOK\\r\\n\n" "\n"
    "   > AT+GTFDCAR=*\r\n" "< \\r\\nOK\\r\\n\r\n" "> AT+GTFDCAR=9\\r\\n\n" "< \\r\\nERROR\\r\\n\n"
    "> AT+GT*\n" "< prefix\n" "> NUL\\0\\xff\\\\\n" "< a\\0b \n" "> ATE0\n" "<\n" "> *\n" "< other\n";
// clang-format on
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
    std::string error;
    // That a refused text leaves the profile as it was, the fuzz target profile_reader holds.
    const bool read = ModemProfile::Parse(row.text, &profile, &error);
    EXPECT_EQ(read ? profile.ReplyTo(row.command) : error, row.expected);
}

// clang-format off
const ProfileRow kRows[] = {
    {"ReplyLinesJoined", kProfile, "AT+GTCURCAR?\r\n", "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n"},
    {"PrefixMatch", kProfile, "AT+GTFDCAR=3\r\n", "\r\nOK\r\n"},
    {"ExactBeatsPrefix", kProfile, "AT+GTFDCAR=9\r\n", kError},
    {"EscapesAndTrailingBlankKept", kProfile, Bytes("NUL\0\xff\\"), Bytes("a\0b ")},
    {"EmptyReply", kProfile, "ATE0", ""},
    {"CatchAll", kProfile, "AT+UNKNOWN\r\n", "other"},
    {"WithoutLineEndOnlyThePrefixMatches", kProfile, "AT+GTCURCAR?", "prefix"},
    {"UnlistedGetsError", "> AT\\r\\n\n< \\r\\nOK\\r\\n\n", "ATI\r\n", kError},
    {"ReplyBeforeCommand", "# c\n< x\n", "", "line 2: a reply before any \">\" command"},
    {"UnknownEscape", "> A\\q\n", "", "line 1: unknown escape \\q"},
    {"LoneBackslash", "> A\\\n", "", "line 1: a lone \\ at the end"},
    {"UnknownLine", "> A\nreply\n", "", "line 2: a line must begin with \">\", \"<\", \"=\" or \"#\""},
    {"DuplicateCommand", "> A\\r\n> A\\r\n", "", "line 2: the command A\\r is listed twice"},
    // "=" lines: the carrier model's factory values, read as the saved state is.
    {"CarrierLockWithoutComma", "> AT\n= lock 1\n", "",
     "line 2: the carrier setting lock needs 0 or 1, a comma and a number, not \"1\""},
    {"CarrierNumberTooLarge", "= manual 65536\n", "",
     "line 1: the carrier setting manual needs a number 0 to 65535, not \"65536\""},
    {"CarrierUnknownKey", "= current 1\n= colour 2\n", "", "line 2: unknown carrier setting \"colour\""},
    {"CarrierKeyTwice", "= auto 1\r\n# c\n= auto 0\n", "", "line 3: the carrier setting auto is given twice"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Rows, ModemProfileTest, ::testing::ValuesIn(kRows), RowName<ProfileRow>);

}  // namespace
