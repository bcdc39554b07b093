#pragma once
#include <QString>

#include "platform/SettingsStore.h"

namespace ostrell::platform {

// The per-user settings shared with the host: one INI file per application,
// $XDG_CONFIG_HOME/<app>.ini (default ~/.config/<app>.ini), one group per section. Texts are UTF-8.
// Every call opens the file afresh, so the host's changes show at the next read, and a write merges
// with what the host wrote meanwhile (QSettings re-reads under its lock file before writing). A file
// caught half-way through the host's rewrite is neither read nor written: both throw PlatformError.
class QtSettingsStore : public SettingsStore {
public:
    std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                           const std::string& defaultValue) override;
    void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) override;

    // The file that holds the settings of app, as the environment names it now.
    static QString filePath(const std::string& app);
};

}  // namespace ostrell::platform
