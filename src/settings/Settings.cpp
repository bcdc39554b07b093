#include "settings/Settings.h"

#include "settings/NumberConversion.h"

namespace ostrell::settings {

int32_t Settings::wholeNumber(const Key& key) { return toWholeNumber(text(key)); }
int16_t Settings::smallWholeNumber(const Key& key) { return toSmallWholeNumber(text(key)); }

}  // namespace ostrell::settings
