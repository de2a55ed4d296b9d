#include <cstdint>

#include "AnswerText.h"
#include "HostCommands.h"

int RunCarrierId(const OemLibrary& oem, const Arguments& arguments, HostOutput& out) {
    if (!arguments.empty()) return kExitUsage;
    const auto getCarrierId = oem.Find<decltype(&OEM_GetCurrentCarrierID)>("OEM_GetCurrentCarrierID");
    if (getCarrierId == nullptr) return kExitNoLibrary;

    const std::int32_t carrier = getCarrierId();
    out.Answer(CarrierIdAnswer(carrier));
    if (carrier < 0) {
        out.Print("No answer from the modem (OEM_GetCurrentCarrierID returned %d).\n", static_cast<int>(carrier));
        return kExitNoAnswer;
    }
    if (carrier == 0) {
        out.Print("Current carrier id: 0 (the modem's reply carried no carrier id, or the carrier is 0)\n");
    } else {
        out.Print("Current carrier id: %d\n", static_cast<int>(carrier));
    }
    return kExitAnswered;
}
