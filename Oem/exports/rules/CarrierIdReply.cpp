#include "exports/rules/CarrierIdReply.h"

#include "text/AsciiText.h"

int ParseCurrentCarrierId(const std::string& upperCasedReply) {
    std::string field = AsciiText::FieldBetween(upperCasedReply, "+GTCURCAR:", "\r\nOK\r\n");
    const size_t comma = field.find(',');
    if (comma != std::string::npos) field.erase(comma);
    return AsciiText::AtoiLike(AsciiText::KeepDigits(field));
}
