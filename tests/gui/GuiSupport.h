#pragma once
#include <QProcess>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

// What the desktop tests share: whether a display exists, a tray host to start and stop, screenshots,
// and answering the modal boxes the program opens.
namespace ostrell::guitest {

// A real display (X11 or Wayland), not the offscreen stand-in.
bool hasDisplay();

// Waits, running events, until cond holds or timeoutMs passes; returns cond().
bool waitFor(const std::function<bool()>& cond, int timeoutMs = 5000);

// The whole screen to <screenshot dir>/<name>.png; returns the file path (empty when it failed).
QString screenshot(const QString& name);

// trayer as the notification area, docked at the top right of the screen.
class TrayHost {
public:
    static bool installed();
    ~TrayHost() { stop(); }
    // Starts it and waits until the desktop reports a tray; false when it did not come up.
    bool start();
    // Stops it and waits until the desktop reports no tray.
    bool stop();

private:
    std::unique_ptr<QProcess> process_;
};

// Calls handle with the next modal dialog that opens within timeoutMs (polled on the event loop, so it
// also runs inside the dialog's own loop). handle must close it.
void onNextModal(std::function<void(QWidget*)> handle, int timeoutMs = 5000);

// Where a window really is on the screen, asked of the X server (an embedded tray icon's own idea of
// its position is relative to the tray). Empty when it cannot be told.
QRect screenGeometry(QWidget* w);

// The widget that Qt embeds in the tray for a tray icon, when there is one.
QWidget* trayIconWidget();

}  // namespace ostrell::guitest
