// The simulator's profile reader, and its reader of the saved carrier state: any text a person
// can write. Either all of it is read, or it is refused with the number of a line it has and
// nothing read is kept.
#include <algorithm>

#include "FuzzKit.h"
#include "ModemProfile.h"

static void CheckRefusal(const std::string& text, const std::string& error) {
    char* end = nullptr;
    const unsigned long line = error.rfind("line ", 0) == 0 ? std::strtoul(error.c_str() + 5, &end, 10) : 0;
    FUZZ_CHECK(line >= 1 && line <= static_cast<unsigned long>(std::count(text.begin(), text.end(), '\n')) + 1);
    FUZZ_CHECK(end != nullptr && end[0] == ':');
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace SimProfile;
    const std::string text = FuzzBytes(data, size);
    ModemProfile profile;
    FUZZ_CHECK(ModemProfile::Parse("> KEEP\n< kept\n", &profile, nullptr));
    std::string error;
    if (ModemProfile::Parse(text, &profile, &error)) {
        // An accepted text followed by a line that is no profile line is refused at that line.
        FUZZ_CHECK(!ModemProfile::Parse(text + "\n!", &profile, &error));
        FUZZ_CHECK(error.rfind("line " + std::to_string(std::count(text.begin(), text.end(), '\n') + 2) + ":", 0) == 0);
    } else {
        CheckRefusal(text, error);
        FUZZ_CHECK(profile.size() == 1 && profile.ReplyTo("KEEP") == "kept" && profile.carrierFactory() == nullptr);
    }
    // The saved carrier state: what is read is written back as the same state.
    CarrierState state, again;
    if (ReadCarrierStateText(text, &state, &error)) {
        FUZZ_CHECK(ReadCarrierStateText(CarrierStateText(state), &again, &error) && again == state);
    } else {
        CheckRefusal(text, error);
        FUZZ_CHECK(state == CarrierState());
    }
    return 0;
}
