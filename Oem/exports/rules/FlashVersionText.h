#pragma once
// How the flash decision reduces the modem's version replies and decides. Plain C++: no
// platform header.

#include <cstddef>
#include <string>
#include <vector>

#include "Oem.h"

namespace FlashVersionText {

// The firmware version query (its leading blank is part of the command); older firmware,
// whose reply to it holds no "OK", is asked with ati8 instead. Then the NVM (customer pack)
// version query.
inline constexpr char kFirmwareVersionQuery[] = " AT+GTMCFWVER?\r\n";
inline constexpr char kOldFirmwareVersionQuery[] = "ati8\r\n";
inline constexpr char kNvmVersionQuery[] = "AT+GTCUSTPACKVER?\r\n";

// Replaces text by what stands strictly between its first and its last double quote; leaves
// it unchanged when it holds fewer than two.
void ExtractQuoted(std::string& text);

// Segments first, first + 1, ... joined with "." between neighbours; empty when there are
// first or fewer segments.
std::string JoinSegmentsFrom(const std::vector<std::string>& segments, std::size_t first);

// The current NVM version from the split customer-pack reply: segment 3 "." segment 5 when
// there are six or more; otherwise the extracted reply text as it stands. Four or five
// segments keep the extracted text too, so no segment beyond the list is ever read.
std::string NvmVersionFromSegments(const std::string& extracted, const std::vector<std::string>& segments);

// Both current versions non-empty: Result, and a flag per image whose current and new
// versions are not the same version. Otherwise all false.
FlashDecision Decide(const std::string& modemVersion, const std::string& modemVersionNew, const std::string& nvmVersion,
                     const std::string& nvmVersionNew);

}  // namespace FlashVersionText
