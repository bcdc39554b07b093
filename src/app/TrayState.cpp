#include "app/TrayState.h"

namespace ostrell::app {

TrayPicture trayPictureFor(bool hasLoNumber, bool filesWaiting, bool connected) {
    if (!hasLoNumber) return TrayPicture::Flag;
    if (!filesWaiting) return TrayPicture::Neutral;
    return connected ? TrayPicture::Smiling : TrayPicture::Frowning;
}

}  // namespace ostrell::app
