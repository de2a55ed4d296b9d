#pragma once
// A loaded module, freed when its owner goes: the simulator's own reference while a completion
// runs, and the programs that load Oem.dll or the simulator.

#include "tools/win/ScopedHandle.h"

struct ModuleTraits {
    using Value = HMODULE;
    static HMODULE Empty() { return nullptr; }
    static bool IsValid(HMODULE module) { return module != nullptr; }
    static void Close(HMODULE module) { ::FreeLibrary(module); }
};

using ScopedModule = UniqueAny<ModuleTraits>;
