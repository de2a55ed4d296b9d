/* Oem.dll for hosts: the six exports, callable from C and C++. Link with Oem.lib (or make an
 * import library from Oem.def), or load Oem.dll at run time and find each export by its name
 * with GetProcAddress; the names are undecorated. Booleans are one byte. */
#ifndef OEM_H
#define OEM_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* How the modem chooses its carrier. OEM_GetCarrierSwitch reads modes 1 to 4,
 * OEM_SetCarrierSwitch sets them or, with mode 5, restores the factory carrier state. */
typedef int32_t CarrierSwitchMode;
enum {
    SWITCHINGLOCK = 1,  /* pFlag/flag: locked; pValue/value: the carrier */
    MANUAL = 2,         /* pFlag/flag: selected by hand; pValue/value: the carrier */
    AUTO = 3,           /* pFlag/flag: automatic selection on */
    FACTORYDEFAULT = 4, /* pValue/value: the factory-default carrier */
    RESTOREFACTORY = 5  /* set only: the factory carrier state back */
};

/* The flash decision, three one-byte booleans with nothing between them, returned by value
 * (under the x64 convention through a hidden pointer to the caller's record). */
#pragma pack(push, 1)
typedef struct FlashDecision {
    bool Result;          /* both versions the modem runs could be read */
    bool FlashModemImage; /* the firmware the modem runs differs from the new one */
    bool FlashNVMImage;   /* the NVM image the modem runs differs from the new one */
} FlashDecision;
#pragma pack(pop)

/* The carrier the modem runs now; -1 when the modem did not answer, 0 when its reply carried
 * no carrier. */
int32_t OEM_GetCurrentCarrierID(void);

/* Modes 1 to 4: 1 when the reply was read and the mode's outputs written, else 0 with both
 * outputs untouched. */
int OEM_GetCarrierSwitch(CarrierSwitchMode mode, int32_t* pValue, bool* pFlag);

/* Modes 1 to 5; flag is a one-byte boolean (any non-zero byte is true). 1 when the modem
 * answered OK; other modes are refused with 0 and nothing sent. */
int OEM_SetCarrierSwitch(CarrierSwitchMode mode, int32_t value, unsigned char flag);

/* True when the package versions differ once their first three "."-separated fields are
 * dropped, ignoring ASCII case. No modem traffic. */
bool OEM_Check_If_UpdateCurrentPackage(const char* current, const char* next);

/* True when the carrier versions differ ignoring ASCII case, or current is empty. reserved
 * is never read. No modem traffic. */
bool OEM_Check_If_UpdateCurrentCarrierInPackage(void* reserved, const char* current, const char* next);

/* Reads the firmware and NVM versions the modem runs and compares them with the new ones. */
FlashDecision OEM_Check_If_FlashCurrentCarrier(const char* newModemFlsVersion, const char* newNvmVersion);

#ifdef __cplusplus
}
#endif

#endif /* OEM_H */
