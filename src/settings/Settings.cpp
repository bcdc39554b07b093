#include "settings/Settings.h"

#include "settings/NumberConversion.h"

namespace ostrell::settings {

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

int32_t Settings::wholeNumber(const Key& key) { return toWholeNumber(text(key)); }
int16_t Settings::smallWholeNumber(const Key& key) { return toSmallWholeNumber(text(key)); }

}  // namespace ostrell::settings
