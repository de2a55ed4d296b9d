#pragma once
// The simulator's Mobile Broadband objects, as CoCreateInstance hands them out for the two
// manager classes. Everything below the managers is reached through them; each object is a
// view on the modem it is handed, which outlives every object (they keep the DLL loaded).

#include <windows.h>

class ModemState;

HRESULT CreateInterfaceManager(ModemState& modem, REFIID iid, void** object);
HRESULT CreateDeviceServicesManager(ModemState& modem, REFIID iid, void** object);
