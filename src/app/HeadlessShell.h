#pragma once
#include <optional>
#include <ostream>
#include <string>

#include "app/Shell.h"
#include "platform/EventLoop.h"

namespace ostrell::app {

// The agent without a desktop: each monitor line goes to out as it is written, oldest first, after the
// log timestamp; tray picture changes go to out too; message boxes go to err and return at once.
// The "window" counts as visible so that the monitor keeps its lines, but no text is held: each line is
// printed and forgotten.
class HeadlessShell : public Shell {
public:
    HeadlessShell(const platform::EventLoop& clock, std::ostream& out, std::ostream& err)
        : clock_(clock), out_(out), err_(err) {}

    // MonitorView
    bool isWindowVisible() const override { return true; }
    std::string monitorText() const override { return {}; }
    void setMonitorText(const std::string& text) override;

    // ConnectionView: boxes nobody sees.
    void showCountdown(int) override {}
    void showSocketEnds(int32_t, const std::string&, int32_t, const std::string&) override {}

    // Shell
    void showMessage(const std::string& title, const std::string& text) override;
    void showTickCount(int) override {}
    void showParameters(const settings::Parameters&) override {}
    void addTrayIcon() override;
    void setTrayPicture(TrayPicture picture) override;
    void deleteTrayIcon() override;

    // Name of a picture, for the trace.
    static std::string pictureName(TrayPicture picture);

private:
    void print(const std::string& line);

    const platform::EventLoop& clock_;
    std::ostream& out_;
    std::ostream& err_;
    std::optional<TrayPicture> picture_;
    bool trayShown_ = false;
};

}  // namespace ostrell::app
