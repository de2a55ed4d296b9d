#pragma once
// The numbers of the carrier model, as its "=" lines and its AT commands write them: decimal
// digits only, flags 0 or 1, carriers 1 to 65534. Shared by CarrierState.cpp and CarrierModel.cpp.

#include <cstdint>
#include <string>

namespace SimProfile {
namespace CarrierValues {

constexpr std::int32_t kLargestNumber = 65535;
// 65535 is how the modem says "no carrier" for the manual selection, so no carrier has it.
constexpr std::int32_t kLargestCarrier = 65534;
constexpr std::int32_t kNoManualCarrier = 65535;

// A whole text of 1 to 5 decimal digits worth at most largest; no sign, no blank.
inline bool ReadNumber(const std::string& text, std::int32_t largest, std::int32_t* number) {
    if (text.empty() || text.size() > 5) return false;
    std::int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > largest) return false;
    *number = value;
    return true;
}

inline bool ReadCarrier(const std::string& text, std::int32_t* carrier) {
    return ReadNumber(text, kLargestCarrier, carrier) && *carrier != 0;
}

inline bool ReadFlag(const std::string& text, bool* flag) {
    if (text != "0" && text != "1") return false;
    *flag = text == "1";
    return true;
}

inline std::string Number(std::int32_t value) {
    return std::to_string(value);
}

}  // namespace CarrierValues
}  // namespace SimProfile
