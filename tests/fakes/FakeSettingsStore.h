#pragma once
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/PlatformError.h"
#include "platform/SettingsStore.h"

namespace ostrell::fake {

// The settings store as a map by application, section and key. Keys can be made unreadable and writes fail.
class FakeSettingsStore : public platform::SettingsStore {
public:
    std::string readValue(const std::string& app, const std::string& section, const std::string& key,
                          const std::string& defaultValue) override {
        if (unreadable.count(key)) throw platform::PlatformError(platform::err::PathFileAccessError, "unreadable");
        auto it = values.find({app, section, key});
        return it == values.end() ? defaultValue : it->second;
    }
    void writeValue(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& value) override {
        if (failWrites) throw platform::PlatformError(platform::err::PermissionDenied, "settings not writable");
        if (hostRewriting) throw platform::HostRewriting(platform::err::PathFileAccessError, "host rewriting");
        values[{app, section, key}] = value;
        writes.push_back(section + "/" + key + "=" + value);
    }

    void set(const std::string& s, const std::string& k, const std::string& v) { values[{"BKX", s, k}] = v; }
    void set(const std::string& s, std::initializer_list<std::string> keyIsValue) {
        for (const auto& kv : keyIsValue) set(s, kv.substr(0, kv.find('=')), kv.substr(kv.find('=') + 1));
    }
    std::string get(const std::string& s, const std::string& k) const {
        auto it = values.find({"BKX", s, k});
        return it == values.end() ? "<absent>" : it->second;
    }

    std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
    std::set<std::string> unreadable;  // key names whose read fails
    bool failWrites = false;
    bool hostRewriting = false;       // writes are refused as made while the host rewrites the file
    std::vector<std::string> writes;  // "section/key=value", in order
};

}  // namespace ostrell::fake
