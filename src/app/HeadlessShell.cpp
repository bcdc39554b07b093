#include "app/HeadlessShell.h"

#include "app/TrayRules.h"

namespace ostrell::app {

void HeadlessShell::print(const std::string& line) {
    // Not flushed here: the program flushes when its loop is about to wait.
    out_ << clock_.logTimestamp() << ' ' << line << '\n';
}

void HeadlessShell::setMonitorText(const std::string& text) {
    // The monitor puts the new line first, then CR LF and the old text, which here is always empty.
    const size_t end = text.find("\r\n");
    print(end == std::string::npos ? text : text.substr(0, end));
}

void HeadlessShell::showCycleSummary(const std::string& line) {
    if (!output_.monitorLines && !output_.outIsJournal) print(line);
}

void HeadlessShell::notify(bool warning, const std::string& since) {
    if (!output_.outIsJournal) print(warning ? "warning: " + linkAlertText(since) : linkRestoredText());
}

void HeadlessShell::showMessage(const std::string& title, const std::string& text) {
    std::string oneLine = text;
    for (size_t at = oneLine.find("\r\n"); at != std::string::npos; at = oneLine.find("\r\n", at))
        oneLine.replace(at, 2, " ");
    err_ << title << ": " << oneLine << '\n' << std::flush;
}

// No tray here: stdout holds the cycle and outage lines only.
void HeadlessShell::addTrayIcon() {}
void HeadlessShell::setTrayPicture(TrayPicture) {}
void HeadlessShell::deleteTrayIcon() {}

}  // namespace ostrell::app
