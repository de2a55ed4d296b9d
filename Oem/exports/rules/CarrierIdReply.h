#pragma once

#include <string>

// The query for the carrier the modem runs now.
inline constexpr char kCarrierIdQuery[] = "AT+GTCURCAR?\r\n";

// The carrier identifier in an upper-cased reply to "AT+GTCURCAR?": the field between
// "+GTCURCAR:" and "\r\nOK\r\n", cut at its first comma, stripped of every non-digit and read
// as a number. 0 when the reply does not carry the field in that frame.
int ParseCurrentCarrierId(const std::string& upperCasedReply);
