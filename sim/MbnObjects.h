#pragma once
// The simulator's Mobile Broadband objects, as CoCreateInstance hands them out for the two
// manager classes. Everything below the managers is reached through them.

#include <windows.h>

HRESULT CreateInterfaceManager(REFIID iid, void** object);
HRESULT CreateDeviceServicesManager(REFIID iid, void** object);
