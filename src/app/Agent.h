#pragma once
#include <functional>
#include <memory>
#include <string>

#include "app/ChosenSocket.h"
#include "app/CycleSummary.h"
#include "app/DataDirectoryGuard.h"
#include "app/Shell.h"
#include "app/TrayRules.h"
#include "cycle/CycleSteps.h"
#include "cycle/Importer.h"
#include "cycle/Scheduler.h"
#include "errors/ErrorReporter.h"
#include "errors/Trap.h"
#include "net/Connection.h"
#include "net/Monitor.h"
#include "platform/DirectoryLock.h"
#include "platform/ErrorSink.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/SettingsStore.h"
#include "platform/StateWriter.h"
#include "platform/SystemLog.h"
#include "platform/TcpSocket.h"
#include "platform/TlsSocket.h"
#include "settings/Parameters.h"
#include "settings/Settings.h"
#include "translog/TransferLog.h"

namespace ostrell::app {

// The platform services the agent runs on: the real adapters in the program, the fakes in tests.
struct AgentPlatform {
    platform::EventLoop& loop;
    platform::TcpSocket& socket;
    platform::SettingsStore& store;
    platform::FileSystem& files;
    platform::ProcessLauncher& launcher;
    platform::ErrorSinkFactory& errorSinks;
    platform::ProgramTerminator& terminator;
    // Where the cycle's info line and the warnings go, and where the status file is written; none in
    // tests that do not look at them.
    platform::SystemLog* systemLog = nullptr;
    platform::StateWriter* stateWriter = nullptr;
    // The lock of the data directory; none: every directory is ours.
    platform::DirectoryLock* directoryLock = nullptr;
    // Makes the socket when "TLS" is on; none: TLS cannot be had and is refused.
    platform::TlsSocketFactory* tlsSockets = nullptr;
};

// What the upload and download units are built on.
struct StepContext {
    net::LineExchange& exchange;
    platform::FileSystem& files;
    platform::ProcessLauncher& launcher;
    errors::ErrorReporter& reporter;
    settings::Settings& settings;
    const settings::Parameters& params;
    translog::TransferLog& transferLog;
    platform::EventLoop& loop;
    cycle::StepEvents& events;
};
// The steps the agent builds its cycle from; both are required (an empty one is a wiring mistake and
// throws std::invalid_argument).
using UploaderFactory = std::function<std::unique_ptr<cycle::Uploader>(const StepContext&)>;
using DownloaderFactory = std::function<std::unique_ptr<cycle::Downloader>(const StepContext&)>;
UploaderFactory realUploader();
DownloaderFactory realDownloader();

inline constexpr int EndRequestCheckMs = 10000;     // end-request check
inline constexpr int TrayPictureRefreshMs = 60000;  // tray picture
inline constexpr int ParameterRefreshMs = 60000;    // parameter refresh
inline constexpr const char* EndFlagValue = "Y";
// A refused host version is read this many times, this far apart, before the gate ends the agent: for
// longer than a half-written settings file is waited for, so the host's rewrite is seen to its end.
inline constexpr int HostVersionLookPauseMs = 200;
inline constexpr int HostVersionLooks = platform::HostRewriteWindowMs / HostVersionLookPauseMs + 2;

// The agent: owns the settings copies, the connection, the monitor, the transfer log, the cycle and
// the four timers of the main window, and drives the desktop through the Shell. Everything visible
// goes through the Shell, so the same agent runs with the Qt window, headless, or in tests. What the
// user does on the desktop arrives as calls of the public handlers below (the program connects the
// window's signals to them).
class Agent {
public:
    Agent(const AgentPlatform& platform, Shell& shell, const UploaderFactory& uploader = realUploader(),
          const DownloaderFactory& downloader = realDownloader());
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    // Start-up, once: end request, own version, version gate, parameters, timers, connection settings,
    // socket, tray. May end the program (end request, refused host version).
    void start();

    // --- what the user does ---
    // Save: the panel's time-out and data directory into the settings.
    void saveSettings();
    // The folder button: the data directory of a chosen file into its box.
    void chooseDataDirectory();
    // A double click on the application directory: the server address in a message box.
    void showServerAddress();
    // The Monitor item of the tray menu.
    void toggleMonitor();
    // The Exit item: quit line when connected, close, then the close request (which the Exit choice
    // allows); ends the main loop and every running wait.
    void exitProgram(const std::string& cause = "Exit");
    // A request to close the window: allowed (tray icon removed, program ending) or refused (nothing shown).
    bool requestClose(CloseReason reason);
    // The window with the count towards the next cycle became visible or hidden.
    void setCountdownShown(bool shown) { scheduler_.setCountdownShown(shown); }

    // The Monitor item is on: every monitor line is shown.
    bool monitorMode() const { return monitor_.isEnabled(); }

private:
    // The end-request check: "EndFlag" exactly "Y" removes the tray icon and ends the program at once.
    // No trap of its own: a failure goes to the caller's (start-up's, or the timer tick's).
    void checkEndRequest();
    // The parameter refresh.
    void refreshParameters();
    // The tray picture for the current state.
    void refreshTrayPicture();
    void cycleStarted();
    void cycleEnded(bool reached);
    // Claims the data directory's lock when this agent does not hold it; says so once when that changes.
    void followDataDirectory(errors::Trap& trap, int32_t label);
    // Raises or clears the outage warning by the time since the last contact.
    void checkLinkAlert();
    // Today's counts and the next cycle, for the status view of the tray icon.
    void countToday(bool reached);
    void writeStatus();
    void log(platform::LogLevel level, const std::string& text);

    AgentPlatform platform_;
    Shell& shell_;
    CycleSummary summary_;
    CountingErrorSinks countingSinks_;
    errors::ErrorReporter reporter_;
    settings::Settings settings_;
    settings::Parameters params_;
    settings::ConnectionSettings server_;
    ChosenSocket socket_;  // clear text or TLS, chosen at start
    net::Monitor monitor_;
    net::Connection connection_;
    SummaryCounter summaryCounter_;
    translog::TransferLog transferLog_;
    std::unique_ptr<cycle::Uploader> uploader_;
    std::unique_ptr<cycle::Downloader> downloader_;
    DataDirectoryGuard dataDirGuard_;
    cycle::Importer importer_;
    cycle::Scheduler scheduler_;
    bool exitChosen_ = false;
    std::string dataDirProblem_;  // reported once while it stands
    std::string stopCause_;       // for the stop line: Exit, or the signal
    bool stopLogged_ = false;     // a close can be asked for again on the way out
    int failedCycles_ = 0;        // in a row: the outage so far
    TrayStatus trayStatus_;
    std::string today_;  // the date trayStatus_ counts, "2026-12-07"
    int alertAfterMinutes_ = 30;
    bool alerting_ = false;
    int64_t cycleStartMs_ = 0;
    int64_t lastContactMs_ = 0;   // of the last cycle that reached the server, or of the start
    std::string lastContactIso_;  // likewise
    bool contacted_ = false;      // a cycle has reached the server in this run
    std::string lastAttemptIso_;
    std::string previousSuccess_;  // from the status file an earlier run left
    std::unique_ptr<platform::Timer> endRequestTimer_;
    std::unique_ptr<platform::Timer> trayPictureTimer_;
    std::unique_ptr<platform::Timer> parameterTimer_;
};

}  // namespace ostrell::app
