#pragma once
#include <string>

namespace ostrell::platform {

// Whether an X server answers on the display a DISPLAY value names (":0", "unix:1", "host:0.0"), or a
// Wayland compositor on a WAYLAND_DISPLAY socket: a stale name must not make the toolkit abort.
bool xDisplayReachable(const std::string& display);
bool waylandDisplayReachable(const std::string& waylandDisplay, const std::string& runtimeDir);

}  // namespace ostrell::platform
