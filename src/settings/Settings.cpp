#include "settings/Settings.h"

#include "platform/PlatformError.h"
#include "settings/NumberConversion.h"

namespace ostrell::settings {

namespace {
// A value that is not a number is reported as the conversion always was; the line after the report names it.
template <class Convert>
auto converted(platform::SettingsStore& store, const Key& key, const std::string& value, Convert convert) {
    try {
        return convert(value);
    } catch (platform::PlatformError& e) {
        e.withDetail(valueDetail(store, key, value));
        throw;
    }
}
}  // namespace

std::string valueDetail(const platform::SettingsStore& store, const Key& key, const std::string& value) {
    const std::string file = store.location(App);
    return "key \"" + key.name + "\" in [" + key.section + "]" + (file.empty() ? "" : " of " + file) + " holds \"" +
           value + "\"";
}

int32_t Settings::wholeNumber(const Key& key) { return converted(store_, key, text(key), toWholeNumber); }
int16_t Settings::smallWholeNumber(const Key& key) { return converted(store_, key, text(key), toSmallWholeNumber); }

}  // namespace ostrell::settings
