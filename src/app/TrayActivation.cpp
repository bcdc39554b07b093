#include "app/TrayActivation.h"

namespace ostrell::app {

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

}  // namespace ostrell::app
