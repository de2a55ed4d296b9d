// The simulator's profile reader over any text a person can write: it reads all of it, or
// refuses it with "line N: why", N one of its lines, and keeps nothing of it.
#include "FuzzKit.h"
#include "ModemProfile.h"

using SimProfile::ModemProfile;

void FuzzOne(const std::uint8_t* data, std::size_t size) {
    const std::string text = Bytes(data, size);
    ModemProfile profile;
    std::string error;
    FUZZ_CHECK(ModemProfile::Parse("> KEEP\n< kept\n", &profile, nullptr));
    if (ModemProfile::Parse(text, &profile, &error)) return;
    char* end = nullptr;
    const unsigned long line = error.rfind("line ", 0) == 0 ? std::strtoul(error.c_str() + 5, &end, 10) : 0;
    FUZZ_CHECK(line >= 1 && line <= static_cast<unsigned long>(std::count(text.begin(), text.end(), '\n')) + 1);
    FUZZ_CHECK(end[0] == ':' && profile.size() == 1 && profile.ReplyTo("KEEP") == "kept" && !profile.carrierFactory());
}
