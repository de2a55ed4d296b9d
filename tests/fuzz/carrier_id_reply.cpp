// The reply to the carrier-id query, any bytes, upper-cased as the export hands it over.
#include "FuzzKit.h"
#include "exports/rules/CarrierIdReply.h"
#include "text/AsciiText.h"

void FuzzOne(const std::uint8_t* data, std::size_t size) {
    const std::string reply = AsciiText::UpperCased(Bytes(data, size));
    const int id = ParseCurrentCarrierId(reply);
    // One number from digits only, so no sign, and only from a reply that holds the field's frame.
    const std::size_t head = reply.find("+GTCURCAR:"), tail = reply.find("\r\nOK\r\n");
    FUZZ_CHECK(id >= 0 && (id == 0 || (head != std::string::npos && tail != std::string::npos && tail > head + 10)));
}
