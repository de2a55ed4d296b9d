// The capture's escape, and a whole capture: a modem that answers the capture's queries with
// any bytes, or not at all, is written as a profile that the simulator reads and answers from
// with exactly those bytes, listed or through its carrier model.
#include "CapturedProfile.h"
#include "CarrierModel.h"
#include "FuzzKit.h"
#include "ModemProfile.h"

using namespace SimProfile;

void FuzzOne(const std::uint8_t* data, std::size_t size) {
    std::string back, error;
    FUZZ_CHECK(Unescape(Escape(Bytes(data, size)), &back, &error) && back == Bytes(data, size));
    FuzzedDataProvider input(data, size);
    std::vector<CapturedReply> replies;
    for (const std::string& command : CaptureQueries()) {
        const bool answered = input.ConsumeBool();
        replies.push_back({command, answered, answered ? input.ConsumeRandomLengthString() : std::string()});
    }
    ModemProfile profile;
    FUZZ_CHECK(ModemProfile::Parse(CapturedProfileText({"captured"}, replies), &profile, &error));
    for (const CapturedReply& captured : replies) {
        std::string reply = profile.ReplyTo(captured.command);
        CarrierState state = profile.carrierFactory() ? *profile.carrierFactory() : CarrierState();
        if (!profile.ListsExactly(captured.command))
            FUZZ_CHECK(profile.carrierFactory() && AnswerCarrierCommand(captured.command, state, &state, &reply) !=
                                                       CarrierAnswer::NotCarrierCommand);
        FUZZ_CHECK(reply == captured.reply);
    }
}
