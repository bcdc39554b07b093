#include "app/TrayState.h"

namespace ostrell::app {

TrayPicture trayPictureFor(bool hasBkNumber, bool filesWaiting, bool connected) {
    if (!hasBkNumber) return TrayPicture::Flag;
    if (!filesWaiting) return TrayPicture::Neutral;
    return connected ? TrayPicture::Smiling : TrayPicture::Frowning;
}

}  // namespace ostrell::app
