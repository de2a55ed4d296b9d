/* A host built for the MSVC ABI (clang for x86_64-pc-windows-msvc, as C and as C++) against the
 * package's Oem.h, linked by lld-link with its Oem.lib, kernel32 and no C runtime. Asks all six
 * exports of the simulated modem; prints the first check that failed and exits 1, else exits 0. */
#include "Oem.h"

#ifdef __cplusplus
extern "C" {
#endif
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size, unsigned long* written,
                                              void* overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int code);
void start(void);
#ifdef __cplusplus
}
#endif

static const char* failed = 0;
#define CHECK(expected) \
    if (!(expected) && !failed) failed = #expected "\n"

void start(void) {
    int32_t value = 0;
    bool flag = true;
    /* The record comes back through a hidden pointer: the byte after it must stay as it is. */
    struct {
        FlashDecision decision;
        unsigned char after;
    } flash = {{false, false, false}, 0xA5};
    const unsigned char* bytes = (const unsigned char*)&flash;
    unsigned long length = 0, written = 0;
    CHECK(OEM_GetCurrentCarrierID() == 5);
    CHECK(OEM_GetCarrierSwitch(SWITCHINGLOCK, &value, &flag) == 1 && value == 5 && !flag);
    CHECK(OEM_GetCarrierSwitch(AUTO, &value, &flag) == 1 && flag);
    CHECK(OEM_SetCarrierSwitch(FACTORYDEFAULT, 7, 0) == 1);
    CHECK(OEM_GetCarrierSwitch(FACTORYDEFAULT, &value, &flag) == 1 && value == 7);
    CHECK(OEM_SetCarrierSwitch(RESTOREFACTORY, 0, 0) == 1);
    CHECK(OEM_GetCarrierSwitch(FACTORYDEFAULT, &value, &flag) == 1 && value == 3);
    CHECK(OEM_Check_If_UpdateCurrentPackage("A1.B2.C3.10.4", "A1.B2.C3.10.5"));
    CHECK(!OEM_Check_If_UpdateCurrentPackage("X.Y.Z.10.4", "a1.b2.c3.10.4"));
    CHECK(OEM_Check_If_UpdateCurrentCarrierInPackage(&flash, "CarrierX.01", "CARRIERX.02"));
    CHECK(!OEM_Check_If_UpdateCurrentCarrierInPackage(0, "CarrierX.02", "CARRIERX.02"));
    flash.decision = OEM_Check_If_FlashCurrentCarrier("A1.B2.18.0.6", "7.9");
    CHECK(bytes[0] == 1 && bytes[1] == 1 && bytes[2] == 0 && bytes[3] == 0xA5);
    flash.decision = OEM_Check_If_FlashCurrentCarrier("a1.b2.18.0.5", "7.8");
    CHECK(bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] == 0xA5);
    if (failed) {
        while (failed[length]) ++length;
        WriteFile(GetStdHandle((unsigned long)-11), failed, length, &written, 0);
    }
    ExitProcess(failed ? 1 : 0);
}
