// A sink library for the loader's tests: answers every report with 4242.
#include <cstdint>

extern "C" int32_t ostrell_HandleError(int32_t, const char*, const char*, const char*, int32_t, const char*,
                                       const char*, const char*, const char*, int32_t, const char*, const char*,
                                       const char*, const char*, const char*, const char*) {
    return 4242;
}
