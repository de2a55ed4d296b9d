#pragma once
// Owners of memory that Windows hands out with LocalAlloc and the caller gives back with
// LocalFree: security descriptors and SID strings from the SDDL conversions, for example.

#include "ScopedHandle.h"

template <typename Pointer>
struct LocalMemoryTraits {
    using Value = Pointer;
    static Pointer Empty() { return nullptr; }
    static bool IsValid(Pointer memory) { return memory != nullptr; }
    static void Close(Pointer memory) { ::LocalFree(memory); }
};

template <typename Pointer>
using ScopedLocal = UniqueAny<LocalMemoryTraits<Pointer>>;
