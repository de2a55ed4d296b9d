// The reply to the carrier-id query, upper-cased as the export hands it over: any bytes.
#include <climits>

#include "FuzzKit.h"
#include "exports/rules/CarrierIdReply.h"
#include "text/AsciiText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply = AsciiText::UpperCased(FuzzBytes(data, size));
    const int id = ParseCurrentCarrierId(reply);
    // Only digits are read: no sign, and a number only from inside the reply's frame, whose
    // digits the reply holds in that order (unless it saturated).
    FUZZ_CHECK(id >= 0);
    const std::size_t head = reply.find("+GTCURCAR:"), tail = reply.find("\r\nOK\r\n");
    if (head == std::string::npos || tail == std::string::npos || tail <= head + 10) FUZZ_CHECK(id == 0);
    if (id > 0 && id < INT_MAX) FUZZ_CHECK(AsciiText::KeepDigits(reply).find(std::to_string(id)) != std::string::npos);
    return 0;
}
