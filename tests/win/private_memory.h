// Committed private memory of this process, summed over the address space.
// Where the system keeps no count of GDI objects (Wine), a leaked bitmap or
// COM object still shows here, and the process-memory counters are not all
// filled in either.
#pragma once

#include <windows.h>

inline SIZE_T PrivateBytes()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;
         at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        if (info.RegionSize == 0)
            break;
    }
    return total;
}
