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

std::string Settings::text(const Key& key) {
    if (const auto it = waiting_.find({key.section, key.name}); it != waiting_.end()) return it->second;
    return store_.readValue(App, key.section, key.name, key.defaultValue);
}

void Settings::save(const Key& key, const std::string& value) {
    waiting_[{key.section, key.name}] = value;
    writeWaiting();
}

void Settings::writeWaiting() {
    while (!waiting_.empty()) {
        const auto first = waiting_.begin();
        const auto& [sectionAndKey, value] = *first;
        try {
            store_.writeValue(App, sectionAndKey.first, sectionAndKey.second, value);
        } catch (const platform::HostRewriting&) {
            return;  // all of it waits for the next save
        } catch (...) {
            waiting_.erase(first);  // reported by the caller's trap, as the write of this save
            throw;
        }
        waiting_.erase(first);
    }
}

int32_t Settings::wholeNumber(const Key& key) { return converted(store_, key, text(key), toWholeNumber); }
int16_t Settings::smallWholeNumber(const Key& key) { return converted(store_, key, text(key), toSmallWholeNumber); }

}  // namespace ostrell::settings
