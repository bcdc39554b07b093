#include "platform/ReleaseMemory.h"

#include <cstdlib>  // defines __GLIBC__ on the C library that has malloc_trim

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ostrell::platform {

void releaseFreeMemory() {
#if defined(__GLIBC__)
    // Unlike the trimming free() does by itself, this also returns free pages below the heap's top,
    // which a single small allocation made during the cycle would otherwise pin.
    malloc_trim(0);
#endif
}

}  // namespace ostrell::platform
