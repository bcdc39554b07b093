#include "app/CloseRule.h"

#include "net/ReplyCleanup.h"

namespace ostrell::app {

bool closeAllowed(CloseReason reason, const std::string& exitMode) {
    if (reason == CloseReason::SessionEnding) return true;
    return net::lowerCase(exitMode) == "yes";
}

}  // namespace ostrell::app
