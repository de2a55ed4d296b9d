// The carrier-switch query replies of every mode (and of modes that have none), and the set
// commands: a mode, a value and a flag from the end of the input, the reply before them.
#include <optional>

#include "FuzzKit.h"
#include "exports/rules/CarrierSwitchReply.h"
#include "text/AsciiText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto mode = static_cast<CarrierSwitchMode>(input.ConsumeIntegralInRange(0, 6));
    const bool flag = input.ConsumeBool();
    const std::int32_t value = input.ConsumeIntegral<std::int32_t>();
    const std::string reply = AsciiText::UpperCased(input.ConsumeRemainingBytesAsString());

    const CarrierSwitchReading r = ParseCarrierSwitchReply(mode, reply);
    // Only the outputs the mode names, only when accepted, and only a reply of the mode.
    FUZZ_CHECK(!r.accepted || (mode >= SWITCHINGLOCK && mode <= FACTORYDEFAULT));
    FUZZ_CHECK(r.flag.has_value() == (r.accepted && mode != FACTORYDEFAULT));
    FUZZ_CHECK(r.value.has_value() == (r.accepted && mode != AUTO));
    // Digits only, so never negative; two numbers from the lock reply only when it holds two
    // fields; the manual flag follows its number.
    FUZZ_CHECK(!r.value || *r.value >= 0);
    if (r.accepted && mode == SWITCHINGLOCK) FUZZ_CHECK(reply.find(',') != std::string::npos);
    if (r.accepted && mode == MANUAL) FUZZ_CHECK(*r.flag == (*r.value != 0 && *r.value != 65535));

    const std::string set = CarrierSwitchSetCommand(mode, value, flag);
    FUZZ_CHECK(set.empty() != IsSettableCarrierSwitchMode(mode));
    FUZZ_CHECK(set.empty() || (set.compare(0, 5, "AT+GT") == 0 && set.compare(set.size() - 2, 2, "\r\n") == 0));
    return 0;
}
