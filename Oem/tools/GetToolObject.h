#pragma once

#include <windows.h>

// Turns a tool interface identifier into a new object (the shared log for ILog) stored in
// *object. Returns 1 when an object was delivered; 0 for an unknown identifier, leaving
// *object as it was.
int GetToolObject(REFGUID identifier, void** object);
