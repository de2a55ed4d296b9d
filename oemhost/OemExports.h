#pragma once
// The six exports of Oem.dll as a host declares them: C functions found by name, booleans of
// one byte, and the flash decision a three-byte record returned by value.

#include <cstdint>

struct FlashDecision {
    bool Result;           // both versions the modem runs could be read
    bool FlashModemImage;  // the firmware image differs from the new one
    bool FlashNVMImage;    // the NVM image differs from the new one
};
static_assert(sizeof(FlashDecision) == 3, "three one-byte booleans, nothing between them");

using GetCurrentCarrierIdExport = std::int32_t (*)();
using GetCarrierSwitchExport = int (*)(std::int32_t mode, std::int32_t* pValue, bool* pFlag);
using SetCarrierSwitchExport = int (*)(std::int32_t mode, std::int32_t value, bool flag);
using UpdateCurrentPackageExport = bool (*)(const char* current, const char* next);
using UpdateCurrentCarrierInPackageExport = bool (*)(void* reserved, const char* current, const char* next);
using FlashCurrentCarrierExport = FlashDecision (*)(const char* newModemFlsVersion, const char* newNvmVersion);

// The carrier switch modes the host passes.
enum CarrierSwitchMode : std::int32_t {
    kSwitchLock = 1,
    kSwitchManual = 2,
    kSwitchAuto = 3,
    kSwitchFactoryDefault = 4,
    kSwitchRestoreFactory = 5,
};
