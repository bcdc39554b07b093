#pragma once
#include "app/Shell.h"

namespace ostrell::app {

// The tray picture for a state: no BK number, the flag, whatever else holds; otherwise files waiting
// show a smiling face while connected and a frowning one while not; nothing waiting, the neutral face.
TrayPicture trayPictureFor(bool hasBkNumber, bool filesWaiting, bool connected);

}  // namespace ostrell::app
