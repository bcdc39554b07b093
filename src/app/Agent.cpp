#include "app/Agent.h"

#include "app/CloseRule.h"
#include "app/TrayState.h"
#include "app/VersionGate.h"
#include "download/GetFiles.h"
#include "errors/Trap.h"
#include "net/ServerAddress.h"
#include "platform/PlatformError.h"
#include "settings/KeyTable.h"
#include "upload/FileUploader.h"

namespace ostrell::app {

UploaderFactory realUploader() {
    return [](const StepContext& c) {
        return std::make_unique<upload::FileUploader>(c.files, c.exchange, c.transferLog, c.settings, c.reporter,
                                                      c.params);
    };
}

DownloaderFactory realDownloader() {
    return [](const StepContext& c) {
        return std::make_unique<download::Downloader>(c.exchange, c.files, c.launcher, c.reporter, c.params,
                                                      c.transferLog);
    };
}

namespace {
std::unique_ptr<cycle::Uploader> makeUploader(const UploaderFactory& f, const StepContext& c) {
    return f ? f(c) : std::make_unique<cycle::NoUpload>();
}
std::unique_ptr<cycle::Downloader> makeDownloader(const DownloaderFactory& f, const StepContext& c) {
    return f ? f(c) : std::make_unique<cycle::NoDownload>();
}
}  // namespace

Agent::Agent(const AgentPlatform& platform, Shell& shell, UploaderFactory uploader, DownloaderFactory downloader)
    : platform_(platform),
      shell_(shell),
      reporter_(platform.errorSinks, platform.terminator),
      settings_(platform.store),
      monitor_(shell, reporter_),
      connection_(platform.socket, platform.loop, reporter_, monitor_, shell, server_),
      transferLog_(platform.files, platform.loop, reporter_, params_),
      uploader_(makeUploader(uploader, StepContext{connection_, platform.files, platform.launcher, reporter_,
                                                   settings_, params_, transferLog_})),
      downloader_(makeDownloader(downloader, StepContext{connection_, platform.files, platform.launcher, reporter_,
                                                         settings_, params_, transferLog_})),
      importer_(platform.launcher, settings_, transferLog_, reporter_),
      scheduler_(platform.loop, settings_, params_, reporter_,
                 cycle::Scheduler::Steps{connection_, *uploader_, *downloader_, importer_},
                 [this](int n) { shell_.showTickCount(n); }) {
    connection_.setLogonHook([this] { tmrFlash_Timer(); });
    // The three timers run from the moment the window exists; tmrMain waits for start-up.
    Timer1_ = platform.loop.createTimer([this] {
        errors::Trap trap(reporter_, "Timer1_Timer");
        trap(10, [&] { Timer1_Timer(); });
    });
    tmrParams_ = platform.loop.createTimer([this] { tmrParams_Timer(); });
    tmrFlash_ = platform.loop.createTimer([this] { tmrFlash_Timer(); });
    Timer1_->setInterval(Timer1IntervalMs);
    tmrParams_->setInterval(tmrParamsIntervalMs);
    tmrFlash_->setInterval(tmrFlashIntervalMs);
}

Agent::~Agent() {
    // Stop the ticks first: nothing may run on a half-destroyed agent.
    Timer1_.reset();
    tmrFlash_.reset();
    tmrParams_.reset();
    connection_.setLogonHook({});
}

void Agent::Form_Load() {
    errors::Trap trap(reporter_, "Form_Load");
    trap(5, [&] { Timer1_Timer(); });
    // The own version is published even when the gate then refuses to run.
    trap(10, [&] { settings_.save(settings::keys::OwnVersion(platform_.launcher.programName()), errors::programVersionText()); });
    std::string hostVersion = settings::DefaultHostVersion;
    // The host rewrites the settings file in place and may be half-way through it right now: a version
    // that is missing or cut off would end the agent for good, so a refusal is looked at again a few
    // times before it stands.
    for (int look = 1;; ++look) {
        trap(15, [&] { hostVersion = settings_.text(settings::keys::HostVersion()); });
        if (hostVersionAccepted(hostVersion, settings::MinimumHostVersion) || look >= HostVersionLooks) break;
        platform_.loop.waitUntil([] { return false; }, HostVersionLookPauseMs);
    }
    if (!hostVersionAccepted(hostVersion, settings::MinimumHostVersion)) {
        trap(20, [&] { shell_.showMessage(VersionGateTitle, VersionGateText); });
        platform_.terminator.endNow();
    }
    // OutFileNames is the upload unit's fixed table (upload/OutFileNames.h): nothing to build here.
    tmrParams_Timer();
    scheduler_.TickCount = 999;  // the first tick runs a cycle at once
    trap(30, [&] { scheduler_.startCounting(); });
    settings::readConnectionSettings(settings_, server_, trap);  // labels 80 to 100
    trap(105, [&] { shell_.showSocketEnds(server_.LocalPort, server_.LocalIP, server_.ServerPort, server_.ServerIP); });
    trap(110, [&] {
        if (server_.LocalPort < 0 || server_.LocalPort > 65535)
            throw platform::PlatformError(platform::err::InvalidProcedureCall,
                                          "Invalid local port " + std::to_string(server_.LocalPort));
        platform_.socket.setLocalPort(server_.LocalPort);
    });
    trap(115, [&] { shell_.setTrayPicture(TrayPicture::Neutral); });
    trap(120, [&] { shell_.addTrayIcon(); });
    tmrFlash_Timer();
}

void Agent::Timer1_Timer() {
    if (settings_.text(settings::keys::EndFlag()) != EndFlagValue) return;
    // At once: no close request, no quit line, the socket is left as it is.
    shell_.deleteTrayIcon();
    platform_.terminator.endNow();
}

void Agent::tmrParams_Timer() {
    errors::Trap trap(reporter_, "tmrParams_Timer");
    trap(5, [&] { platform_.loop.yield(); });
    settings::readParameters(settings_, params_, trap);  // labels 10 to 55
    trap(60, [&] { shell_.showParameters(params_); });
    trap(65, [&] { scheduler_.lengthChanged(); });  // a new TimeOut counts from now on
}

void Agent::tmrFlash_Timer() {
    errors::Trap trap(reporter_, "tmrFlash_Timer");
    const bool hasLoNumber = params_.HasLoNumber;
    const bool filesWaiting = hasLoNumber && trap.value(10, [&] { return uploader_->TransFiles(); }, false);
    trap(15, [&] { shell_.setTrayPicture(trayPictureFor(hasLoNumber, filesWaiting, connection_.Connected)); });
}

std::string Agent::serverAddressText() { return net::serverAddressText(server_.ServerIP, server_.ServerPort); }

void Agent::txtAppDir_DblClick() { shell_.showMessage("", serverAddressText()); }

void Agent::mnuExit_Click() {
    errors::Trap trap(reporter_, "mnuExit_Click");
    trap(10, [&] { connection_.SendQuitLine(); });
    params_.ExitMode = "Yes";
    // A refresh running in the yield below may put the stored "Exit" back; the choice stands anyway.
    exitChosen_ = true;
    connection_.wsock_Close();
    trap(15, [&] { platform_.loop.yield(); });
    trap(20, [&] { Form_QueryUnload(CloseReason::Code); });
}

bool Agent::Form_QueryUnload(CloseReason reason) {
    errors::Trap trap(reporter_, "Form_QueryUnload");
    const bool allowed = closeAllowed(reason, exitChosen_ ? std::string("Yes") : params_.ExitMode);
    if (!allowed) return false;
    trap(10, [&] { shell_.deleteTrayIcon(); });
    // Unloading the only window ends the program: the main loop returns and running waits give up.
    trap(15, [&] { platform_.loop.requestEnd(); });
    return true;
}

}  // namespace ostrell::app
