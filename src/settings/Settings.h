#pragma once
#include <cstdint>
#include <string>

#include "platform/SettingsStore.h"
#include "settings/KeyTable.h"

namespace ostrell::settings {

// Typed access to the shared store under the application "BKX". Every read goes to the store (the
// host may have changed it); conversion failures throw, to be caught by the reading procedure's trap.
class Settings {
public:
    explicit Settings(platform::SettingsStore& store) : store_(store) {}

    std::string text(const Key& key) { return store_.readValue(App, key.section, key.name, key.defaultValue); }
    int32_t wholeNumber(const Key& key);
    int16_t smallWholeNumber(const Key& key);
    void save(const Key& key, const std::string& value) { store_.writeValue(App, key.section, key.name, value); }

    platform::SettingsStore& store() { return store_; }

private:
    platform::SettingsStore& store_;
};

// The line after a report about a stored value: the key, its section, the file and the value.
std::string valueDetail(const platform::SettingsStore& store, const Key& key, const std::string& value);

}  // namespace ostrell::settings
