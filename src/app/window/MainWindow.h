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

#include "app/Shell.h"
#include "app/TrayRules.h"
#include "app/tray/DesktopNotifier.h"
#include "app/tray/IconTray.h"

namespace ostrell::app {

// The main window: the monitor and control panel, hidden while the agent sits in the tray. It shows what the
// agent gives it (app::Shell) and says what the user does through its signals, which the program
// connects to the agent.
class MainWindow : public QWidget, public Shell {
    Q_OBJECT
public:
    static constexpr const char* Caption = "Veltrana Interface";

    explicit MainWindow(int trayHostPollMs = IconTray::HostPollMs);
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
    void showLinkState(bool alerting, const std::string& lastContact) override;
    void notify(bool warning, const std::string& since) override;
    void showTrayStatus(const TrayStatus& status) override;
    std::string timeoutText() const override;
    std::string dataDirText() const override;
    void setDataDirText(const std::string& text) override;
    void focusTimeout() override;
    std::optional<std::string> chooseFile(const std::string& title, const std::string& filter) override;
    std::optional<std::string> askPassword(const std::string& prompt) override;
    void setWindowVisible(bool visible) override;
    void showMonitorMode(bool on) override;

    // The tray menu and the tray module, for the desktop tests.
    QMenu& trayMenu() { return *trayMenu_; }
    IconTray& tray() { return tray_; }
    QLabel& statusView() { return *statusView_; }

    // The icon of a picture, with the outage warning mark or without.
    static QIcon pictureIcon(TrayPicture picture, bool alert = false);

signals:
    void saveClicked();                                     // the Save button
    void dataDirectoryClicked();                            // the button beside the data directory
    void serverAddressRequested();                          // a double click on the application directory
    void monitorChosen();                                   // the Monitor item
    void exitChosen();                                      // the Exit item
    void closeRequested(ostrell::app::CloseReason reason);  // the window's close; the agent decides
    void countdownShown(bool shown);                        // the count is worth a tick only while seen

protected:
    void closeEvent(QCloseEvent* e) override;
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
    void onTrayEvent(TrayEvent event);
    void onSessionEnding();

    IconTray tray_;
    TrayPicture picture_ = TrayPicture::Neutral;
    bool linkAlert_ = false;  // the picture carries the outage warning mark
    std::string monitor_;     // the monitor's text as the core wrote it, CR LF and all
    bool sessionEnding_ = false;
    bool ending_ = false;      // the agent removed the icon on its way out
    bool monitoring_ = false;  // the Monitor item is on: adding the tray icon leaves the window shown
    bool placed_ = false;

    QPlainTextEdit* monitorView_ = nullptr;
    QLineEdit* cycleLengthBox_ = nullptr;
    QLineEdit* tickCountBox_ = nullptr;
    QLineEdit* loopBox_ = nullptr;
    QLineEdit* countdownBox_ = nullptr;
    QLineEdit* localPortBox_ = nullptr;
    QLineEdit* localAddressBox_ = nullptr;
    QLineEdit* remotePortBox_ = nullptr;
    QLineEdit* remoteAddressBox_ = nullptr;
    QPlainTextEdit* dataDirBox_ = nullptr;
    QPlainTextEdit* appDirBox_ = nullptr;
    QLineEdit* bkNumberBox_ = nullptr;

    QMenu* trayMenu_ = nullptr;
    QAction* monitorItem_ = nullptr;
    QLabel* statusView_ = nullptr;  // what a left click on the icon shows
    DesktopNotifier notifier_;
};

}  // namespace ostrell::app
