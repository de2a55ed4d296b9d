#include "exports/CarrierIdExport.h"

#include <string>

#include "text/AsciiText.h"
#include "exports/rules/CarrierIdReply.h"
#include "exports/ModemExportFrame.h"
#include "tools/win/CatchResult.h"

std::int32_t QueryCurrentCarrierId(const ExportEnvironment& environment) noexcept {
    return CatchResult<std::int32_t>(-1, [&] {
        ModemExportFrame frame(environment);
        frame.Log(2, "[Normal] Enter Get Current CarrierId ");
        std::int32_t result = -1;
        ChannelLines lines;
        lines.openFailed = "[Error]OpenMbimChannel Fail.";
        lines.openSucceeded = "[Success] OpenMbimChannel Success.";
        if (frame.OpenChannel(lines)) {
            std::string reply;
            if (frame.Execute(kCarrierIdQuery, &reply) != 0) {
                frame.Log(0, "[Error]Execute AT+GTCURCAR? Error.");
            } else {
                AsciiText::UpperCaseInPlace(reply);
                frame.Log(2, "[Success]ExecuteCmd Success.Response Data %s", reply.c_str());
                result = ParseCurrentCarrierId(reply);
            }
        }
        frame.ReleaseChannel();
        frame.Log(2, "[Normal] Out Get Current CarrierId\r\n\r\n\r\n\r\n");
        return result;
    });
}

extern "C" std::int32_t OEM_GetCurrentCarrierID() {
    const ExportEnvironment environment = ProcessEnvironment();
    return QueryCurrentCarrierId(environment);
}
