#include "app/HeadlessShell.h"

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

void HeadlessShell::notify(const std::string& text, bool warning) {
    if (!output_.outIsJournal) print((warning ? "warning: " : "") + text);
}

void HeadlessShell::showMessage(const std::string& title, const std::string& text) {
    std::string oneLine = text;
    for (size_t at = oneLine.find("\r\n"); at != std::string::npos; at = oneLine.find("\r\n", at))
        oneLine.replace(at, 2, " ");
    err_ << title << ": " << oneLine << '\n' << std::flush;
}

std::string HeadlessShell::pictureName(TrayPicture picture) {
    switch (picture) {
        case TrayPicture::Smiling: return "101 smiling: files waiting, connected";
        case TrayPicture::Neutral: return "102 neutral: nothing waiting";
        case TrayPicture::Frowning: return "103 frowning: files waiting, not connected";
        case TrayPicture::Flag: return "104 flag: no BK number";
    }
    return std::to_string(static_cast<int>(picture));
}

void HeadlessShell::addTrayIcon() {
    trayShown_ = true;
    print("[tray] icon added" + (picture_ ? ": " + pictureName(*picture_) : std::string()));
}

void HeadlessShell::setTrayPicture(TrayPicture picture) {
    if (picture_ == picture) return;
    picture_ = picture;
    if (trayShown_) print("[tray] " + pictureName(picture));
}

void HeadlessShell::deleteTrayIcon() {
    if (!trayShown_) return;
    trayShown_ = false;
    print("[tray] icon removed");
}

}  // namespace ostrell::app
