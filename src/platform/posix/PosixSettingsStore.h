#pragma once
#include <sys/stat.h>

#include <string>

#include "platform/SettingsStore.h"

namespace ostrell::platform {

// The per-user settings shared with the host: one INI file per application, <app>.ini in
// $XDG_CONFIG_HOME (default ~/.config), edited as IniDocument. Every read reads the file afresh; a
// missing or unreadable file holds no keys. A write locks "<app>.ini.lock" beside it (flock, exclusive;
// a cooperating host takes it too), edits the file as it is now, writes a temporary file in the same
// directory, fsyncs it and renames it over the file, keeping its mode and owner (the directory is synced
// too when the file is new). Should the file have
// changed meanwhile (a host that does not lock), the edit is made again on the new content. A file the
// host changed within HostRewriteWindowMs is not written at all (HostRewriting).
class PosixSettingsStore : public SettingsStore {
public:
    // directory empty: the environment's config directory, looked up at every call.
    explicit PosixSettingsStore(std::string directory = {}) : directory_(std::move(directory)) {}

    std::string readValue(const std::string& app, const std::string& section, const std::string& key,
                          const std::string& defaultValue) override;
    void writeValue(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& value) override;

    std::string filePath(const std::string& app) const;
    std::string location(const std::string& app) const override { return filePath(app); }
    static std::string configDirectory();  // $XDG_CONFIG_HOME, else $HOME/.config

private:
    // What identifies one version of the file: a change by the host shows in one of these.
    struct FileVersion {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified{};
        static FileVersion of(const struct stat& info) {
            return {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
        }
        bool sameVersion(const struct stat& info) const {
            return device == info.st_dev && inode == info.st_ino && size == info.st_size &&
                   modified.tv_sec == info.st_mtim.tv_sec && modified.tv_nsec == info.st_mtim.tv_nsec;
        }
    };

    std::string directory_;
    FileVersion lastWritten_;  // the file as our last write left it
};

}  // namespace ostrell::platform
