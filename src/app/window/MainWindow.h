#pragma once
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <optional>
#include <string>

#include "app/DataDirChooser.h"
#include "app/MonitorSwitch.h"
#include "app/SaveButton.h"
#include "app/Shell.h"
#include "app/TrayActivation.h"
#include "app/WindowActions.h"
#include "app/tray/IconTray.h"

namespace ostrell::app {

// frmMain: the monitor and control panel, hidden while the agent sits in the tray. It shows what the
// core gives it (app::Shell) and forwards its own events to the core (WindowActions).
class MainWindow : public QWidget, public Shell, public SavePanel, public DataDirPanel, public MonitorSwitchView {
    Q_OBJECT
public:
    static constexpr const char* Caption = "Veltrana Interface";

    // The core is attached after both exist (each needs the other); until then the window's own events
    // do nothing and a close is refused.
    explicit MainWindow(int trayHostPollMs = IconTray::HostPollMs);
    MainWindow(WindowActions& actions, int trayHostPollMs = IconTray::HostPollMs);
    void setActions(WindowActions& actions) { actions_ = &actions; }
    ~MainWindow() override;

    // --- Shell ---
    void showCountdown(int value) override;
    void showSocketEnds(int32_t localPort, const std::string& localIP, int32_t remotePort,
                        const std::string& remoteIP) override;
    bool isWindowVisible() const override;
    std::string monitorText() const override;
    void setMonitorText(const std::string& text) override;
    void showMessage(const std::string& title, const std::string& text) override;
    void showTickCount(int count) override;
    void showParameters(const settings::Parameters& p) override;
    void addTrayIcon() override;
    void setTrayPicture(TrayPicture picture) override;
    void deleteTrayIcon() override;
    void showLinkState(bool alerting, const std::string& tipLine) override;
    void notify(const std::string& text, bool warning) override;

    // --- the panel's buttons ---
    std::string timeoutText() const override;
    std::string dataDirText() const override;
    void focusTimeout() override;
    std::optional<std::string> chooseFile(const std::string& title, const std::string& filter) override;
    void setDataDirText(const std::string& text) override;

    // --- the Monitor item ---
    std::optional<std::string> askPassword(const std::string& prompt) override;
    void setWindowVisible(bool visible) override;
    void setMonitorMode(bool on) override;
    void setMonitorCaption(const std::string& caption) override;

    // The tray menu mnuTray and the tray module, for the desktop tests and the program.
    QMenu& trayMenu() { return *mnuTray_; }
    IconTray& tray() { return tray_; }
    TrayPicture trayPicture() const { return picture_; }
    bool linkAlertShown() const { return linkAlert_; }

    // The icon resource of a picture.
    static QIcon pictureIcon(TrayPicture picture);

    // Event procedures, public so that tests can raise them as the desktop would.
    void onTrayEvent(TrayEvent event);
    void saveSettings();
    void chooseDataDirectory();
    void showServerAddress();
    void toggleMonitor();
    void exitProgram();

protected:
    void closeEvent(QCloseEvent* e) override;
    // The count box is only worth a tick every second while it can be seen.
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildControls();
    template <class Widget>
    Widget* control(const char* name) const {
        return findChild<Widget*>(QString::fromUtf8(name));
    }
    void buildTrayMenu();
    void placeControls();
    void onSessionEnding();

    WindowActions* actions_ = nullptr;
    IconTray tray_;
    TrayPicture picture_ = TrayPicture::Neutral;
    bool linkAlert_ = false;  // the picture carries the outage warning mark
    std::string monitor_;     // txtMon's text as the core wrote it, CR LF and all
    bool sessionEnding_ = false;
    bool placed_ = false;

    QPlainTextEdit* txtMon_ = nullptr;
    QLineEdit* txtTimeout_ = nullptr;
    QLineEdit* txtTO_ = nullptr;
    QLineEdit* txtLoop_ = nullptr;
    QLineEdit* txtLP_ = nullptr;
    QLineEdit* txtLocal_ = nullptr;
    QLineEdit* txtLocalIP_ = nullptr;
    QLineEdit* txtRemote_ = nullptr;
    QLineEdit* txtRemIP_ = nullptr;
    QPlainTextEdit* txtDataDir_ = nullptr;
    QPlainTextEdit* txtAppDir_ = nullptr;
    QLineEdit* txtBKnum_ = nullptr;

    QMenu* mnuTray_ = nullptr;
    QAction* mnuMonitor_ = nullptr;
};

}  // namespace ostrell::app
