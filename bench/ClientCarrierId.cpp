#include "ClientCarrierId.h"

#include <string>

#include "ClientChannel.h"
#include "exports/rules/CarrierIdReply.h"
#include "text/AsciiText.h"
#include "tools/win/ScopedHandle.h"

std::int32_t ClientCarrierId(HANDLE exportLock, const LevelRead& logLine) {
    const HeldMutex held = WaitAndHold(exportLock);
    logLine();  // entry
    std::int32_t carrier = -1;
    {
        ClientChannel channel(logLine);
        if (channel.Open()) {
            logLine();  // open success
            std::string reply;
            if (channel.Execute(kCarrierIdQuery, &reply)) {
                AsciiText::UpperCaseInPlace(reply);
                logLine();  // response
                carrier = ParseCurrentCarrierId(reply);
            }
        }
    }
    logLine();  // exit
    return carrier;
}
