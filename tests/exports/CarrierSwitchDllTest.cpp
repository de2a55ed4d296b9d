// The carrier switch exports as the host meets them in the shipped Oem.dll.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "support/LogFiles.h"
#include "support/OemDll.h"
#include "support/TestFiles.h"

namespace {

using GetCarrierSwitchExport = int (*)(std::int32_t, std::int32_t*, bool*);
using SetCarrierSwitchExport = int (*)(std::int32_t, std::int32_t, unsigned char);

TEST(CarrierSwitchDll, BothExportsFoundByName) {
    OemDll dll;
    ASSERT_TRUE(dll.loaded()) << OemDll::Path() << " error " << ::GetLastError();
    EXPECT_NE(dll.Get<GetCarrierSwitchExport>("OEM_GetCarrierSwitch"), nullptr);
    EXPECT_NE(dll.Get<SetCarrierSwitchExport>("OEM_SetCarrierSwitch"), nullptr);
}

// Had any of these reached the channel, the module log would also hold the factory failure
// or the command line.
TEST(CarrierSwitchDll, SetWithUnknownModeIsRefusedBeforeAnyChannel) {
    TestLogFolder folder("2", "DllCarrierSwitchRefusal");
    OemDll dll;
    ASSERT_TRUE(dll.loaded());
    const auto set = dll.Get<SetCarrierSwitchExport>("OEM_SetCarrierSwitch");
    ASSERT_NE(set, nullptr);

    std::vector<std::string> expected;
    for (const std::int32_t mode : {0, 6, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(set(mode, 1, 1), 0) << "mode " << mode;
        expected.push_back("[Error]OEM_SetCarrierSwitch::Mode " + std::to_string(mode) + " Not Supported.");
    }
    EXPECT_EQ(folder.ModuleMessages(), expected);
    EXPECT_FALSE(TestFiles::Exists(folder.SharedLogPath())) << "no channel wrote to the shared log";
}

}  // namespace
