#include "app/LinkAlert.h"

namespace ostrell::app {

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

}  // namespace ostrell::app
