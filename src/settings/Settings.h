#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "platform/SettingsStore.h"
#include "settings/KeyTable.h"

namespace ostrell::settings {

// Typed access to the shared store under the application "BKX". Every read goes to the store (the
// host may have changed it); conversion failures throw, to be caught by the reading procedure's trap.
// The host's writes win: while it is rewriting the file the agent's own keys (time stamps, batch markers,
// its version) wait in memory and are written at the next save that finds the file quiet; reads see them.
class Settings {
public:
    explicit Settings(platform::SettingsStore& store) : store_(store) {}

    std::string text(const Key& key);
    int32_t wholeNumber(const Key& key);
    int16_t smallWholeNumber(const Key& key);
    // One of the agent's own keys: written now, or once the host has finished rewriting the file.
    void save(const Key& key, const std::string& value);
    // A value the owner chose (Save): written now, or refused (platform::HostRewriting) for the owner to
    // try again; nothing waits.
    void saveNow(const Key& key, const std::string& value) { store_.writeValue(App, key.section, key.name, value); }

    platform::SettingsStore& store() { return store_; }

private:
    using KeyName = std::pair<std::string, std::string>;  // section, key

    // Writes what waits, oldest key first, until the host is found rewriting the file again.
    void writeWaiting();

    platform::SettingsStore& store_;
    std::map<KeyName, std::string> waiting_;
};

// The line after a report about a stored value: the key, its section, the file and the value.
std::string valueDetail(const platform::SettingsStore& store, const Key& key, const std::string& value);

}  // namespace ostrell::settings
