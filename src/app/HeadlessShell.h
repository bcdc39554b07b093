#pragma once
#include <optional>
#include <ostream>
#include <string>

#include "app/Shell.h"
#include "platform/EventLoop.h"

namespace ostrell::app {

// What the headless program prints on out.
struct HeadlessOutput {
    // Every monitor line (records included) instead of one summary line per cycle.
    bool monitorLines = false;
    // out is the journal itself: the cycle and outage lines already go to the system log.
    bool outIsJournal = false;
};

// The agent without a desktop. By default out gets one summary line per cycle and the outage warning
// and all-clear, never a record's contents; with monitorLines each monitor line instead, as it is
// written, oldest first. Every line starts with the log timestamp; nothing of the tray is printed;
// message boxes go to err and return at once. With the monitor lines on, the "window" counts as
// visible so that the monitor keeps its lines, but no text is held: each line is printed and forgotten.
class HeadlessShell : public Shell {
public:
    HeadlessShell(const platform::EventLoop& clock, std::ostream& out, std::ostream& err, HeadlessOutput output = {})
        : clock_(clock), out_(out), err_(err), output_(output) {}

    // MonitorView
    bool isWindowVisible() const override { return output_.monitorLines; }
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
    // No tray here: the warning and the all-clear reach out through notify, the counts through the summary.
    void showLinkState(bool, const std::string&) override {}
    void notify(bool warning, const std::string& since) override;
    void showTrayStatus(const TrayStatus&) override {}
    void showCycleSummary(const std::string& line) override;

private:
    void print(const std::string& line);

    const platform::EventLoop& clock_;
    std::ostream& out_;
    std::ostream& err_;
    HeadlessOutput output_;
};

}  // namespace ostrell::app
