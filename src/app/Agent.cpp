#include "app/Agent.h"

#include <unistd.h>

#include <stdexcept>

#include "app/AgentStatus.h"
#include "app/PanelActions.h"
#include "app/StartChecks.h"
#include "app/TrayRules.h"
#include "download/Downloader.h"
#include "errors/Trap.h"
#include "platform/PlatformError.h"
#include "platform/StateWriter.h"
#include "settings/KeyTable.h"
#include "settings/Parameters.h"
#include "upload/FileUploader.h"

namespace ostrell::app {

UploaderFactory realUploader() {
    return [](const StepContext& c) {
        return std::make_unique<upload::FileUploader>(c.files, c.exchange, c.transferLog, c.settings, c.reporter,
                                                      c.params, c.loop, c.events);
    };
}

DownloaderFactory realDownloader() {
    return [](const StepContext& c) {
        return std::make_unique<download::Downloader>(c.exchange, c.files, c.launcher, c.reporter, c.params,
                                                      c.transferLog, c.events);
    };
}

namespace {
namespace keys = settings::keys;

// A step the agent is built without is a wiring mistake, not a mode: it stops here, not in a silent cycle.
template <class Step>
std::unique_ptr<Step> makeStep(const std::function<std::unique_ptr<Step>(const StepContext&)>& factory,
                               const StepContext& c, const char* what) {
    if (!factory) throw std::invalid_argument(std::string("Agent: no ") + what + " factory");
    auto step = factory(c);
    if (!step) throw std::invalid_argument(std::string("Agent: the ") + what + " factory made nothing");
    return step;
}
}  // namespace

Agent::Agent(const AgentPlatform& platform, Shell& shell, const UploaderFactory& uploader,
             const DownloaderFactory& downloader)
    : platform_(platform), shell_(shell), countingSinks_(platform.errorSinks, summary_),
      reporter_(countingSinks_, platform.terminator), settings_(platform.store),
      socket_(platform.socket, platform.loop), monitor_(shell, reporter_),
      connection_(socket_, platform.loop, reporter_, monitor_, shell, server_), summaryCounter_(summary_),
      transferLog_(platform.files, platform.loop, reporter_, params_),
      uploader_(makeStep(uploader,
                         StepContext{connection_, platform.files, platform.launcher, reporter_, settings_, params_,
                                     transferLog_, platform.loop, summaryCounter_},
                         "uploader")),
      downloader_(makeStep(downloader,
                           StepContext{connection_, platform.files, platform.launcher, reporter_, settings_, params_,
                                       transferLog_, platform.loop, summaryCounter_},
                           "downloader")),
      dataDirGuard_(*uploader_, *downloader_), importer_(platform.launcher, settings_, transferLog_, reporter_),
      scheduler_(platform.loop, settings_, params_, reporter_,
                 cycle::Scheduler::Steps{connection_, dataDirGuard_, dataDirGuard_, importer_},
                 [this](int n) { shell_.showTickCount(n); }) {
    connection_.setLogonHook([this] { refreshTrayPicture(); });
    scheduler_.setCycleHooks([this] { cycleStarted(); }, [this](bool reached) { cycleEnded(reached); });
    // The three timers run from the moment the window exists; the tick timer waits for start-up.
    endRequestTimer_ = platform.loop.createTimer([this] {
        errors::Trap trap(reporter_, "Timer1_Timer");
        trap(10, [&] { checkEndRequest(); });
        // The outage warning comes within ten seconds of its time, even while cycles take long.
        trap(20, [&] { checkLinkAlert(); });
    });
    parameterTimer_ = platform.loop.createTimer([this] { refreshParameters(); });
    trayPictureTimer_ = platform.loop.createTimer([this] { refreshTrayPicture(); });
    endRequestTimer_->setInterval(EndRequestCheckMs);
    parameterTimer_->setInterval(ParameterRefreshMs);
    trayPictureTimer_->setInterval(TrayPictureRefreshMs);
}

Agent::~Agent() {
    // Stop the ticks first: nothing may run on a half-destroyed agent.
    endRequestTimer_.reset();
    trayPictureTimer_.reset();
    parameterTimer_.reset();
    connection_.setLogonHook({});
}

void Agent::start() {
    errors::Trap trap(reporter_, "Form_Load");
    trap(5, [&] { checkEndRequest(); });
    // The own version is published even when the gate then refuses to run.
    trap(10, [&] { settings_.save(keys::ownVersion(platform_.launcher.programName()), errors::programVersionText()); });
    std::string hostVersion = settings::DefaultHostVersion;
    // The host rewrites the settings file in place and may be half-way through it right now: a version
    // that is missing or cut off would end the agent for good, so a refusal is looked at again a few
    // times before it stands.
    for (int look = 1;; ++look) {
        trap(15, [&] { hostVersion = settings_.text(keys::hostVersion()); });
        if (hostVersionAccepted(hostVersion, settings::MinimumHostVersion) || look >= HostVersionLooks) break;
        platform_.loop.waitUntil([] { return false; }, HostVersionLookPauseMs);
    }
    if (!hostVersionAccepted(hostVersion, settings::MinimumHostVersion)) {
        log(platform::LogLevel::Error, "stopping on refusal: Brannick version \"" + hostVersion + "\" is older than " +
                                           settings::MinimumHostVersion);
        shell_.showMessage(VersionGateTitle, VersionGateText);
        platform_.terminator.endRefused();
    }
    // OutFileNames is the upload unit's fixed table (upload/OutFileNames.h): nothing to build here.
    refreshParameters();
    scheduler_.startWithCycleDue();  // the first tick runs a cycle at once
    // Read once: a change of address or port needs a restart.
    trap(80, [&] { server_.serverIp = settings_.text(keys::serverAddress()); });
    trap(85, [&] { server_.serverPort = settings_.wholeNumber(keys::serverPort()); });
    trap(90, [&] { server_.localPort = settings_.wholeNumber(keys::localPort()); });
    trap(95, [&] { server_.localIp = settings_.text(keys::localIp()); });
    // The link, read once too. A wrong TLS key is reported here and leaves the agent with no link at all:
    // never clear text instead.
    settings::TlsTexts tls;
    bool tlsRead = trap(100, [&] { tls.tls = settings_.text(keys::tls()); });
    tlsRead = trap(101, [&] { tls.authorityFile = settings_.text(keys::tlsAuthority()); }) && tlsRead;
    tlsRead = trap(102, [&] { tls.pin = settings_.text(keys::tlsPin()); }) && tlsRead;
    tlsRead = trap(103, [&] { tls.peerName = settings_.text(keys::tlsName()); }) && tlsRead;
    const std::string linkProblem = socket_.choose(
        tlsRead ? settings::chooseTls(tls)
                : settings::TlsChoice{.on = true, .options = {}, .problem = "the TLS keys could not be read"},
        platform_.tlsSockets);
    if (!linkProblem.empty())
        trap.report(105, platform::PlatformError(platform::err::TlsRefused,
                                                 linkProblem + "; no connection until corrected and restarted"));
    // No address configured: the fixed default server, whatever the two port keys hold.
    if (server_.serverIp.empty())
        server_ = {settings::DefaultServerAddress, settings::DefaultServerPort, 0, server_.localIp};
    shell_.showSocketEnds(server_.localPort, server_.localIp, server_.serverPort, server_.serverIp);
    log(platform::LogLevel::Info, "started ostrell " + errors::programVersionText() + ": server " + server_.serverIp +
                                      ":" + std::to_string(server_.serverPort) + ", data folder " +
                                      (params_.dataDirPath.empty() ? "not set" : params_.dataDirPath) +
                                      ", error reports to " + platform_.errorSinks.description());
    if (server_.localPort < 0 || server_.localPort > 65535)
        trap.report(110, platform::PlatformError(platform::err::InvalidProcedureCall,
                                                 "Invalid local port " + std::to_string(server_.localPort))
                             .withDetail(settings::valueDetail(platform_.store, keys::localPort(),
                                                               std::to_string(server_.localPort))));
    else trap(110, [&] { socket_.setLocalPort(server_.localPort); });
    shell_.setTrayPicture(TrayPicture::Neutral);
    shell_.addTrayIcon();
    refreshTrayPicture();
    // The outage clock starts now: an agent that never reaches the server warns AlertAfter from here.
    lastContactMs_ = platform_.loop.nowMs();
    lastContactIso_ = platform_.loop.isoTimestamp();
    shell_.showLinkState(false, "");
    // The last success of an earlier run stays in the status until this run has one of its own.
    trap(135, [&] {
        if (platform_.stateWriter)
            previousSuccess_ = parseStatusFile(platform_.stateWriter->readState(platform::StatusFileName)).lastSuccess;
    });
    trap(140, [&] { writeStatus(); });
}

void Agent::log(platform::LogLevel level, const std::string& text) {
    if (platform_.systemLog) platform_.systemLog->write(level, text);
}

void Agent::cycleStarted() {
    summary_ = CycleSummary{};
    summary_.host = server_.serverIp;
    summary_.port = server_.serverPort;
    for (const std::string& bkNumber : params_.bkNumbers) summary_.stored.push_back({bkNumber, 0, 0});
    cycleStartMs_ = platform_.loop.nowMs();
    lastAttemptIso_ = platform_.loop.isoTimestamp();
    // A directory whose lock another agent held, or that could not be locked, is tried again every cycle.
    errors::Trap trap(reporter_, "tmrMain_Timer");
    followDataDirectory(trap, 20);
}

void Agent::cycleEnded(bool reached) {
    errors::Trap trap(reporter_, "cycleEnded");
    const int64_t now = platform_.loop.nowMs();
    summary_.connected = reached;
    summary_.failure = connection_.lastSocketError();
    summary_.logonUnanswered = !reached && connection_.logonUnanswered();
    summary_.durationMs = now - cycleStartMs_;
    const std::string noContactSince = clockTimeOf(lastContactIso_);
    if (reached) {
        contacted_ = true;
        lastContactMs_ = now;
        lastContactIso_ = platform_.loop.isoTimestamp();
    }
    const std::string line = cycleSummaryLine(summary_);
    shell_.showCycleSummary(line);
    trap(20, [&] { log(platform::LogLevel::Info, line); });
    // One warning when an outage begins and one line when it ends; the cycles between say it in their line.
    if (!reached && failedCycles_++ == 0)
        trap(25, [&] { log(platform::LogLevel::Warning, connectionWarning(summary_)); });
    if (reached && failedCycles_ > 0) {
        trap(26, [&] { log(platform::LogLevel::Info, recoveryLine(summary_, failedCycles_, noContactSince)); });
        // The next outage is news, whatever it repeats of this one.
        if (platform_.systemLog) trap(27, [&] { platform_.systemLog->forgetRepeats(); });
        failedCycles_ = 0;
    }
    trap(30, [&] { checkLinkAlert(); });
    shell_.showLinkState(alerting_, contacted_ || alerting_ ? clockTimeOf(lastContactIso_) : "");
    countToday(reached);
    trap(40, [&] { writeStatus(); });
    trap(45, [&] { transferLog_.closeFile(); });
}

void Agent::checkLinkAlert() {
    const bool due = linkAlertDue(platform_.loop.nowMs(), lastContactMs_, alertAfterMinutes_);
    if (due == alerting_) return;
    alerting_ = due;
    const std::string since = clockTimeOf(lastContactIso_);
    // The all-clear has its line already: the recovery line of the cycle that reached the server.
    if (due) log(platform::LogLevel::Warning, linkAlertText(since));
    shell_.notify(due, since);
    shell_.showLinkState(due, contacted_ || due ? since : "");
}

void Agent::countToday(bool reached) {
    const std::string now = platform_.loop.isoTimestamp();
    if (now.compare(0, 10, today_) != 0) {
        today_ = now.substr(0, 10);
        trayStatus_ = TrayStatus{};
    }
    ++trayStatus_.cyclesToday;
    for (const auto& [kind, lines] : summary_.linesAccepted) trayStatus_.linesSentToday += lines;
    for (const CycleSummary::Stored& bk : summary_.stored) {
        trayStatus_.bookingsToday += bk.bookings;
        trayStatus_.paymentsToday += bk.payments;
    }
    if (reached) trayStatus_.lastContact = clockTimeOf(lastContactIso_);
    trayStatus_.nextCycle = clockTimeAfter(now, params_.timeoutSecs);
    shell_.showTrayStatus(trayStatus_);
}

void Agent::writeStatus() {
    if (!platform_.stateWriter) return;
    AgentStatus s;
    s.pid = static_cast<int64_t>(getpid());
    s.server = server_.serverIp + ":" + std::to_string(server_.serverPort);
    s.cycleSeconds = params_.timeoutSecs;
    s.lastAttempt = lastAttemptIso_;
    s.lastSuccess = contacted_ ? lastContactIso_ : previousSuccess_;
    platform_.stateWriter->writeState(platform::StatusFileName, statusFileText(s));
}

void Agent::checkEndRequest() {
    if (settings_.text(keys::endFlag()) != EndFlagValue) return;
    log(platform::LogLevel::Info, "stopping on end request (EndFlag)");
    // At once: no close request, no quit line, the socket is left as it is.
    shell_.deleteTrayIcon();
    platform_.terminator.endNow();
}

void Agent::refreshParameters() {
    errors::Trap trap(reporter_, "tmrParams_Timer");
    platform_.loop.yield();
    // Each read is its own statement: a value that cannot be converted is reported and keeps the old one.
    settings::Parameters& p = params_;
    trap(10, [&] { p.dataDirSetting = settings_.text(keys::dataDir()); });
    // One rule for the folder (settings/Parameters.h); without one, nothing is sent or fetched.
    const settings::DataFolder folder = settings::dataFolderOf(
        p.dataDirSetting, !p.dataDirSetting.empty() &&
                              trap.value(12, false, [&] { return platform_.files.isDirectory(p.dataDirSetting); }));
    p.dataDirPath = folder.path;
    dataDirGuard_.setFolderMissing(folder.path.empty());
    if (!folder.problem.empty() && folder.problem != dataDirProblem_)
        trap.report(12, platform::PlatformError(platform::err::PathNotFound, folder.problem));
    dataDirProblem_ = folder.problem;
    trap(15, [&] { p.appDirPath = settings_.text(keys::dirName()); });
    trap(20, [&] { p.exitMode = settings_.text(keys::exitMode()); });
    trap(25, [&] { p.loopCount = settings_.wholeNumber(keys::loopLength()); });
    p.hasBkNumber = false;
    for (size_t i = 0; i < p.bkNumbers.size(); ++i) {
        trap(35, [&] { p.bkNumbers.at(i) = settings_.text(keys::bkNumber(i)); });
        // An entry of blanks counts: only an empty text leaves the flag alone.
        if (!p.bkNumbers.at(i).empty()) p.hasBkNumber = true;
    }
    trap(50, [&] { p.timeoutSecs = settings_.wholeNumber(keys::timeout()); });
    trap(55, [&] { p.uploadCommand = settings_.text(keys::uploadCommand()); });
    trap(60, [&] { alertAfterMinutes_ = settings_.wholeNumber(keys::alertAfter()); });
    // Save may have pointed the data directory at one where another agent works.
    followDataDirectory(trap, 65);
    shell_.showParameters(params_);
    scheduler_.lengthChanged();  // a new TimeOut counts from now on
}

void Agent::followDataDirectory(errors::Trap& trap, int32_t label) {
    // Without a folder there is nothing to lock (an empty path would name the working directory's lock).
    if (!platform_.directoryLock || params_.dataDirPath.empty()) return;
    const DirectoryNotice notice = trap.value(
        label, DirectoryNotice{}, [&] { return dataDirGuard_.follow(*platform_.directoryLock, params_.dataDirPath); });
    if (notice.kind == DirectoryNotice::Kind::None) return;
    monitor_.show(notice.text);
    if (notice.kind == DirectoryNotice::Kind::Resumed) {
        log(platform::LogLevel::Info, notice.text);
        return;
    }
    trap.report(label, platform::PlatformError(platform::err::PathFileAccessError, notice.text)
                           .withDetail(settings::valueDetail(platform_.store, keys::dataDir(), params_.dataDirPath)));
}

void Agent::refreshTrayPicture() {
    errors::Trap trap(reporter_, "tmrFlash_Timer");
    const bool hasBkNumber = params_.hasBkNumber;
    const bool filesWaiting = hasBkNumber && trap.value(10, false, [&] { return dataDirGuard_.hasFilesToSend(); });
    shell_.setTrayPicture(trayPictureFor(hasBkNumber, filesWaiting, connection_.isConnected()));
}

void Agent::saveSettings() { app::saveSettings(shell_, settings_, reporter_); }

void Agent::chooseDataDirectory() { app::chooseDataDirectory(shell_, platform_.files); }

void Agent::showServerAddress() {
    shell_.showMessage(ProgramTitle, serverAddressText(server_.serverIp, server_.serverPort));
}

void Agent::toggleMonitor() { monitor_.setEnabled(app::toggleMonitor(shell_, monitor_.isEnabled())); }

void Agent::exitProgram(const std::string& cause) {
    errors::Trap trap(reporter_, "mnuExit_Click");
    stopCause_ = cause;
    trap(10, [&] { connection_.sendQuitLine(); });
    params_.exitMode = "Yes";
    // A refresh running in the yield below may put the stored "Exit" back; the choice stands anyway.
    exitChosen_ = true;
    connection_.handleClosed();
    platform_.loop.yield();
    requestClose(CloseReason::Code);
}

bool Agent::requestClose(CloseReason reason) {
    if (!closeAllowed(reason, exitChosen_ ? std::string("Yes") : params_.exitMode)) return false;
    if (!stopLogged_) {
        stopLogged_ = true;
        log(platform::LogLevel::Info,
            "stopping on " + (reason == CloseReason::SessionEnding ? "the end of the session"
                              : exitChosen_                        ? stopCause_
                                            : "a close request (Exit=" + params_.exitMode + ")"));
    }
    shell_.deleteTrayIcon();
    // Unloading the only window ends the program: the main loop returns and running waits give up.
    platform_.loop.requestEnd();
    return true;
}

}  // namespace ostrell::app
