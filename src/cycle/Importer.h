#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "errors/ErrorReporter.h"
#include "platform/ProcessLauncher.h"
#include "settings/Settings.h"
#include "translog/TransferLog.h"

namespace ostrell::cycle {

inline constexpr const char* ImporterName = "BKrunVRX.exe";
inline constexpr const char* ImporterStillRunningText = "BKrunVRX.exe still running - not started again.";
inline constexpr const char* DownloadWaitsText = "BKrunVRX.exe still running - download waits for the next cycle.";

// The path of the importer: the program directory, a "/" unless it ends with one, then the name.
std::string importerPath(const std::string& programDirectory);

// The hand-off to Brannick's importer at the end of a cycle that reached the server.
class Importer {
public:
    Importer(platform::ProcessLauncher& launcher, settings::Settings& settings, translog::TransferLog& log,
             errors::ErrorReporter& reporter)
        : launcher_(launcher), settings_(settings), log_(log), reporter_(reporter) {}

    // Starts the importer when VRX1 "DBase" is not empty, without waiting for it. While the copy we
    // started last is still running it is not started again (two copies would work on the same files);
    // the transfer log says so, once for that copy.
    void launchIfDue();

    // Whether the copy we started last still reads the incoming files: the download waits then, since a
    // record appended meanwhile could be deleted unread with the file. Said once in the transfer log.
    bool readingIncomingFiles();

private:
    // Whether the copy we started last still runs (judged by the launcher's handle, never by a pid).
    bool stillRunning();

    platform::ProcessLauncher& launcher_;
    settings::Settings& settings_;
    translog::TransferLog& log_;
    errors::ErrorReporter& reporter_;
    std::optional<platform::ProcessHandle> lastStarted_;
    bool restartRefusalNoted_ = false;  // for the copy started last
    bool downloadWaitNoted_ = false;
};

}  // namespace ostrell::cycle
