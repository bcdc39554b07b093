#include "cycle/Importer.h"

#include "errors/Trap.h"

namespace ostrell::cycle {

std::string importerPath(const std::string& programDirectory) {
    std::string dir = programDirectory;
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir + ImporterName;
}

bool Importer::stillRunning() {
    if (lastStarted_ && launcher_.isRunning(*lastStarted_)) return true;
    lastStarted_.reset();
    return false;
}

bool Importer::readingIncomingFiles() {
    if (!stillRunning()) return false;
    if (!downloadWaitNoted_) log_.write(DownloadWaitsText);
    downloadWaitNoted_ = true;
    return true;
}

void Importer::launchIfDue() {
    errors::Trap trap(reporter_, "CheckVRX");
    std::string dbase;
    trap(15, [&] { dbase = settings_.text(settings::keys::database()); });
    if (dbase.empty()) return;
    const bool running = trap.value(20, false, [&] { return stillRunning(); });
    if (running) {
        if (!restartRefusalNoted_) log_.write(ImporterStillRunningText);
        restartRefusalNoted_ = true;
        return;
    }
    trap(25, [&] { lastStarted_ = launcher_.startProgram(importerPath(launcher_.programDirectory())); });
    restartRefusalNoted_ = downloadWaitNoted_ = false;
}

}  // namespace ostrell::cycle
