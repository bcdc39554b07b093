#pragma once
#include <QIcon>

namespace ostrell::app {

// The tray picture with a warning triangle in its lower right corner: no cycle has reached the server
// for the AlertAfter time.
QIcon withWarningMark(const QIcon& picture);

}  // namespace ostrell::app
