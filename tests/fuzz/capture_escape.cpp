// The capture's escape, and a whole capture: a modem answering the capture's queries with any
// bytes (or not at all) is written as a profile that the simulator reads and answers from
// with exactly those bytes.
#include <vector>

#include "CapturedProfile.h"
#include "FuzzKit.h"
#include "ModemProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace SimProfile;
    std::string back, error;
    FUZZ_CHECK(Unescape(Escape(FuzzBytes(data, size)), &back, &error) && back == FuzzBytes(data, size));

    FuzzedDataProvider input(data, size);
    std::vector<CapturedReply> replies;
    for (const std::string& command : CaptureQueries()) {
        const bool answered = input.ConsumeBool();
        replies.push_back({command, answered, answered ? input.ConsumeRandomLengthString() : std::string()});
    }
    ModemProfile profile;
    const std::string text = CapturedProfileText({"captured"}, replies);
    if (!ModemProfile::Parse(text, &profile, &error)) std::fprintf(stderr, "%s\n%s\n", error.c_str(), text.c_str());
    FUZZ_CHECK(error.empty());
    for (const CapturedReply& captured : replies) {
        if (profile.ListsExactly(captured.command)) {
            FUZZ_CHECK(profile.ReplyTo(captured.command) == captured.reply);
            continue;
        }
        // Not listed: the carrier model answers it from the values the capture read.
        FUZZ_CHECK(profile.carrierFactory() != nullptr);
        CarrierState state = *profile.carrierFactory();
        std::string reply;
        FUZZ_CHECK(AnswerCarrierCommand(captured.command, state, &state, &reply) != CarrierAnswer::NotCarrierCommand);
        FUZZ_CHECK(reply == captured.reply);
    }
    return 0;
}
