#include "exports/CarrierSwitchExports.h"

#include <string>

#include "text/AsciiText.h"
#include "exports/ModemExportFrame.h"
#include "tools/win/CatchResult.h"

static_assert(sizeof(bool) == 1, "pFlag is the host's one-byte boolean");

int GetCarrierSwitch(const ExportEnvironment& environment, CarrierSwitchMode mode, std::int32_t* pValue,
                     bool* pFlag) noexcept {
    return CatchResult<int>(0, [&] {
        ModemExportFrame frame(environment);
        // A mode without a query still goes out, as the empty command.
        const std::string command = CarrierSwitchQueryCommand(mode);
        ChannelLines lines;
        lines.noChannel = "[Error]OEM_GetCarrierSwitch::GetToolObject Error.";
        if (frame.OpenChannel(lines) == nullptr) return 0;
        frame.Log(2, "[Success]OEM_GetCarrierSwitch::GetToolObject AT Command %s.", command.c_str());

        std::string reply;
        if (frame.Execute(command, &reply) != 0) {
            frame.Log(0, "[Error]OEM_GetCarrierSwitch::Execute AT Command Error.");
            return 0;
        }
        AsciiText::UpperCaseInPlace(reply);
        frame.Log(2, "[Success]OEM_GetCarrierSwitch::GetToolObject Response data %s.", reply.c_str());
        frame.ReleaseChannel();

        const CarrierSwitchReading reading = ParseCarrierSwitchReply(mode, reply);
        if (!reading.accepted) return 0;
        if (reading.flag) *pFlag = *reading.flag;
        if (reading.value) *pValue = *reading.value;
        return 1;
    });
}

int SetCarrierSwitch(const ExportEnvironment& environment, CarrierSwitchMode mode, std::int32_t value,
                     unsigned char flag) noexcept {
    return CatchResult<int>(0, [&] {
        // Refused before the export lock: a refusal sends nothing, so it need not wait for
        // another caller's modem traffic.
        if (!IsSettableCarrierSwitchMode(mode)) {
            environment.Log(0, "[Error]OEM_SetCarrierSwitch::Mode %d Not Supported.", static_cast<int>(mode));
            return 0;
        }
        ModemExportFrame frame(environment);
        const std::string command = CarrierSwitchSetCommand(mode, value, flag != 0);
        ChannelLines lines;
        lines.noChannel = "[Error]OEM_SetCarrierSwitch::GetToolObject Error.";
        if (frame.OpenChannel(lines) == nullptr) return 0;
        frame.Log(2, "[Success]OEM_SetCarrierSwitch::GetToolObject AT Command %s.", command.c_str());

        std::string reply;
        if (frame.Execute(command, &reply) != 0) {
            frame.Log(0, "[Error]OEM_SetCarrierSwitch::ExecuteCmd Happen Error.");
            return 0;
        }
        frame.Log(2, "[Success]OEM_SetCarrierSwitch::GetToolObject Response data %s.", reply.c_str());
        const int result = CarrierSwitchSetSucceeded(reply) ? 1 : 0;
        frame.ReleaseChannel();
        return result;
    });
}

extern "C" int OEM_GetCarrierSwitch(CarrierSwitchMode mode, std::int32_t* pValue, bool* pFlag) {
    const ExportEnvironment environment = ProcessEnvironment();
    return GetCarrierSwitch(environment, mode, pValue, pFlag);
}

extern "C" int OEM_SetCarrierSwitch(CarrierSwitchMode mode, std::int32_t value, unsigned char flag) {
    const ExportEnvironment environment = ProcessEnvironment();
    return SetCarrierSwitch(environment, mode, value, flag);
}
