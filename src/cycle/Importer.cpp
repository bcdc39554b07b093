#include "cycle/Importer.h"

#include "errors/Trap.h"

namespace ostrell::cycle {

std::string importerPath(const std::string& programDirectory) {
    std::string dir = programDirectory;
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir + ImporterName;
}

void Importer::launchIfDue() {
    errors::Trap trap(reporter_, "CheckVRX");
    std::string dbase;
    trap(15, [&] { dbase = settings_.text(settings::keys::database()); });
    if (dbase.empty()) return;
    const bool stillRunning = lastStarted_ && trap.value(
                                                  20, [&] { return launcher_.isRunning(*lastStarted_); }, false);
    if (stillRunning) {
        log_.write(ImporterStillRunningText);
        return;
    }
    trap(25, [&] { lastStarted_ = launcher_.startProgram(importerPath(launcher_.programDirectory())); });
}

}  // namespace ostrell::cycle
