// The carrier switch exports in the shipped Oem.dll: an unknown set mode is refused before any channel.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "support/LogFiles.h"
#include "support/OemDll.h"
#include "support/TestFiles.h"

namespace {

// A call that reached the channel would also log the factory failure or the command line.
TEST(CarrierSwitchDll, SetWithUnknownModeIsRefusedBeforeAnyChannel) {
    TestLogFolder folder("2", "DllCarrierSwitchRefusal");
    OemDll dll;
    ASSERT_TRUE(dll.loaded()) << OemDll::Path() << " error " << ::GetLastError();
    ASSERT_NE(dll.Get<int (*)(std::int32_t, std::int32_t*, bool*)>("OEM_GetCarrierSwitch"), nullptr);
    const auto set = dll.Get<int (*)(std::int32_t, std::int32_t, unsigned char)>("OEM_SetCarrierSwitch");
    ASSERT_NE(set, nullptr);
    std::vector<std::string> expected;
    for (const std::int32_t mode : {0, 6, INT_MIN}) {
        EXPECT_EQ(set(mode, 1, 1), 0) << "mode " << mode;
        expected.push_back("[Error]OEM_SetCarrierSwitch::Mode " + std::to_string(mode) + " Not Supported.");
    }
    EXPECT_EQ(folder.ModuleMessages(), expected);
    EXPECT_FALSE(TestFiles::Exists(folder.SharedLogPath())) << "no channel wrote to the shared log";
}

}  // namespace
