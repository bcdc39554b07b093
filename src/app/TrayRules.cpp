#include "app/TrayRules.h"

#include "net/ReplyCleanup.h"

namespace ostrell::app {

TrayPicture trayPictureFor(bool hasBkNumber, bool filesWaiting, bool connected) {
    if (!hasBkNumber) return TrayPicture::Flag;
    if (!filesWaiting) return TrayPicture::Neutral;
    return connected ? TrayPicture::Smiling : TrayPicture::Frowning;
}

TrayAction trayActionFor(TrayEvent event) {
    switch (event) {
        case TrayEvent::Context: return TrayAction::OpenMenu;
        case TrayEvent::DoubleClick: return TrayAction::RestoreNormal;
        case TrayEvent::Trigger: return TrayAction::ShowStatus;
        case TrayEvent::MiddleClick:
        case TrayEvent::Unknown: break;
    }
    return TrayAction::Nothing;
}

std::string trayTipText(const std::string& tip, const std::string& windowCaption) {
    constexpr std::string::size_type TipWidth = 64;
    const std::string& text = tip.empty() ? windowCaption : tip;
    return text.substr(0, TipWidth);
}

bool linkAlertDue(int64_t nowMs, int64_t lastContactMs, int alertAfterMinutes) {
    return alertAfterMinutes > 0 && nowMs - lastContactMs >= int64_t{alertAfterMinutes} * 60000;
}

std::string linkAlertText(const std::string& since) {
    return "No contact with the booking server: bookings have not been received since " + since;
}

std::string linkRestoredText() { return "The booking server is reachable again: bookings are received"; }

std::string lastContactTip(const std::string& lastContact, bool alerting) {
    if (alerting) return "No contact since " + lastContact;
    return lastContact.empty() ? "No contact yet" : "Last contact " + lastContact;
}

bool closeAllowed(CloseReason reason, const std::string& exitMode) {
    if (reason == CloseReason::SessionEnding) return true;
    return net::lowerCase(exitMode) == "yes";
}

}  // namespace ostrell::app
