// The settings' text-to-number conversion, with any text the host may have written.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "platform/PlatformError.h"
#include "settings/NumberConversion.h"

using namespace ostrell;

namespace {
template <class F>
void convertsOrFailsCleanly(const std::string& text, F convert) {
    const auto value = settings::numericValue(text);
    try {
        const double got = static_cast<double>(convert(text));
        FUZZ_CHECK(value.has_value());
        FUZZ_CHECK(std::fabs(*value - got) <= 0.5);
    } catch (const platform::PlatformError& e) {
        FUZZ_CHECK(e.number() == (value ? platform::err::Overflow : platform::err::TypeMismatch));
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(settings::isNumeric(text) == settings::numericValue(text).has_value());
    convertsOrFailsCleanly(text, settings::toWholeNumber);
    convertsOrFailsCleanly(text, settings::toSmallWholeNumber);
    return 0;
}
