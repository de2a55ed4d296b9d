#include "CapturedProfile.h"

#include "ModemProfile.h"
#include "exports/rules/CarrierIdReply.h"
#include "exports/rules/CarrierSwitchReply.h"
#include "exports/rules/FlashVersionText.h"
#include "text/AsciiText.h"

namespace {

// The carrier queries whose replies the simulator's carrier model makes, in its form.
struct CarrierQuery {
    const char* key;  // of the model's "=" line
    const char* name;
    CarrierSwitchMode mode;  // 0: the carrier id
};
const CarrierQuery kCarrierQueries[] = {
    {"current", "GTCURCAR", 0},  {"lock", "GTLOCKCAR", SWITCHINGLOCK},           {"manual", "GTMSELCAR", MANUAL},
    {"auto", "GTASELCAR", AUTO}, {"factory-default", "GTFDCAR", FACTORYDEFAULT},
};

std::string CommandOf(const CarrierQuery& query) {
    return query.mode == 0 ? std::string(kCarrierIdQuery) : CarrierSwitchQueryCommand(query.mode);
}

// The value of the model's "=" line when reply is exactly what the model answers for it;
// empty otherwise.
std::string ModelValue(const CarrierQuery& query, const std::string& reply) {
    const std::string upper = AsciiText::UpperCased(reply);
    std::string value;
    if (query.mode == 0) {
        value = std::to_string(ParseCurrentCarrierId(upper));
    } else {
        const CarrierSwitchReading reading = ParseCarrierSwitchReply(query.mode, upper);
        if (!reading.accepted) return std::string();
        // The lock has a flag and a carrier, automatic selection a flag, the others a carrier.
        if (query.mode == SWITCHINGLOCK || query.mode == AUTO) value = reading.flag && *reading.flag ? "1" : "0";
        if (query.mode == SWITCHINGLOCK) value += ",";
        if (query.mode != AUTO) value += std::to_string(reading.value ? *reading.value : 0);
    }
    const std::string modelReply = std::string("\r\n+") + query.name + ": " + value + "\r\n\r\nOK\r\n";
    if (reply != modelReply) return std::string();
    // Only a value the model can hold (a modem may report a carrier above its range): the
    // simulator would refuse the whole profile for one it cannot, so that reply stays listed.
    SimProfile::CarrierState state;
    unsigned seenKeys = 0;
    std::string why;
    return SimProfile::ReadCarrierSetting(std::string(query.key) + " " + value, &state, &seenKeys, &why)
               ? value
               : std::string();
}

}  // namespace

std::vector<std::string> CaptureQueries() {
    std::vector<std::string> queries;
    for (const CarrierQuery& query : kCarrierQueries) queries.push_back(CommandOf(query));
    queries.push_back(FlashVersionText::kFirmwareVersionQuery);
    queries.push_back(FlashVersionText::kOldFirmwareVersionQuery);
    queries.push_back(FlashVersionText::kNvmVersionQuery);
    return queries;
}

std::string CapturedProfileText(const std::vector<std::string>& header, const std::vector<CapturedReply>& replies) {
    std::string text;
    for (const std::string& line : header) text += "# " + line + "\n";
    std::string model;
    std::string listed;
    bool anyAnswered = false;
    for (const CapturedReply& captured : replies) {
        anyAnswered = anyAnswered || captured.answered;
        std::string value;
        for (const CarrierQuery& query : kCarrierQueries) {
            if (captured.answered && captured.command == CommandOf(query)) value = ModelValue(query, captured.reply);
            if (!value.empty()) {
                model += std::string("= ") + query.key + " " + value + "\n";
                break;
            }
        }
        if (!value.empty()) continue;  // the model answers it, byte for byte
        listed += "> " + SimProfile::Escape(captured.command) + "\n";
        if (!captured.answered) {
            listed += "# (no answer)\n";
        } else {
            listed += "< " + SimProfile::Escape(captured.reply) + "\n";
        }
    }
    if (!anyAnswered) text += "# The modem answered none of these commands.\n";
    if (!model.empty()) {
        text += "\n# The carrier state, from the carrier replies (the simulator answers them from it).\n" + model;
    }
    text += "\n# The replies as received. Any other command gets ERROR.\n" + listed;
    return text;
}
