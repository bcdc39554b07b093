#include "app/SingleInstance.h"

#include <syslog.h>

#include <filesystem>

#include "settings/Parameters.h"
#include "settings/Settings.h"

namespace ostrell::app {

namespace {
void tell(std::ostream& err, const std::string& text, int priority) {
    err << text << '\n' << std::flush;
    ::syslog(LOG_USER | priority, "%s", text.c_str());
}
}  // namespace

platform::InstanceLock::Start claimSingleInstance(platform::InstanceLock& lock, platform::SettingsStore& store,
                                                  std::ostream& err) {
    std::string dataDir;
    try {
        // The folder's lock goes where its files go; no folder, no lock (the refresh reports it).
        const std::string setting = settings::Settings(store).text(settings::keys::dataDir());
        std::error_code ignored;
        dataDir =
            settings::dataFolderOf(setting, !setting.empty() && std::filesystem::is_directory(setting, ignored)).path;
    } catch (const std::exception& e) {
        // The directory is locked at the first parameter refresh that reads it.
        tell(err, std::string("Ostrell: the data directory is not known yet: ") + e.what(), LOG_WARNING);
    }
    platform::InstanceLock::Start start = lock.acquire(platform::InstanceLock::userLockDirectory(), dataDir);
    if (!start.warnings.empty()) tell(err, start.warnings.substr(0, start.warnings.size() - 1), LOG_WARNING);
    if (start.refusal) tell(err, *start.refusal, LOG_ERR);
    return start;
}

}  // namespace ostrell::app
