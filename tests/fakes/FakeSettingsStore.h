#pragma once
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/PlatformError.h"
#include "platform/SettingsStore.h"

namespace ostrell::fake {

// The settings store as a map. Keys can be made unreadable and writes can be made to fail.
class FakeSettingsStore : public platform::SettingsStore {
public:
    using Key = std::tuple<std::string, std::string, std::string>;  // app, section, key

    std::string readValue(const std::string& app, const std::string& section, const std::string& key,
                          const std::string& defaultValue) override {
        ++reads;
        if (unreadable.count(key))
            throw platform::PlatformError(platform::err::PathFileAccessError, "settings unreadable");
        auto it = values.find({app, section, key});
        return it == values.end() ? defaultValue : it->second;
    }
    void writeValue(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& value) override {
        if (failWrites) throw platform::PlatformError(platform::err::PermissionDenied, "settings not writable");
        values[{app, section, key}] = value;
        writes.push_back(section + "/" + key + "=" + value);
    }

    void set(const std::string& section, const std::string& key, const std::string& value) {
        values[{"BKX", section, key}] = value;
    }
    std::string get(const std::string& section, const std::string& key) const {
        auto it = values.find({"BKX", section, key});
        return it == values.end() ? std::string("<absent>") : it->second;
    }
    bool has(const std::string& section, const std::string& key) const {
        return values.count({"BKX", section, key}) != 0;
    }

    std::map<Key, std::string> values;
    std::set<std::string> unreadable;  // key names whose read fails
    bool failWrites = false;
    std::vector<std::string> writes;  // "section/key=value", in order
    int reads = 0;
};

}  // namespace ostrell::fake
