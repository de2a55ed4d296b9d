// The carrier-switch replies, any bytes after a mode 0 to 6 (so modes without a query too),
// and the set reply.
#include "FuzzKit.h"
#include "exports/rules/CarrierSwitchReply.h"
#include "text/AsciiText.h"

void FuzzOne(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int mode = input.ConsumeIntegralInRange(0, 6);
    const std::string raw = input.ConsumeRemainingBytesAsString(), reply = AsciiText::UpperCased(raw);
    const CarrierSwitchReading r = ParseCarrierSwitchReply(static_cast<CarrierSwitchMode>(mode), reply);
    // Only the outputs the mode names, only when accepted; digits only, so never a sign; two
    // numbers only from a lock reply that holds two fields.
    static const bool kFlag[] = {false, true, true, true, false, false, false};
    static const bool kValue[] = {false, true, true, false, true, false, false};
    FUZZ_CHECK(r.flag.has_value() == (r.accepted && kFlag[mode]) &&
               r.value.has_value() == (r.accepted && kValue[mode]));
    FUZZ_CHECK((!r.accepted || kFlag[mode] || kValue[mode]) && (!r.value || *r.value >= 0));
    FUZZ_CHECK(!r.accepted || mode != SWITCHINGLOCK || reply.find(',') != std::string::npos);
    FUZZ_CHECK(CarrierSwitchSetSucceeded(raw) == (reply.find("OK\r\n") != std::string::npos));
}
