#pragma once

namespace ostrell::app {

// The program's exit statuses, as the README and the manual page list them.
inline constexpr int ExitNormal = 0;      // ended normally: Exit, EndFlag, end of the session
inline constexpr int ExitRefused = 1;     // refused to run: host version too old, already running
inline constexpr int ExitUsage = 2;       // unknown option or stray argument
inline constexpr int ExitStale = 3;       // --status: running, but no success within three cycles plus a minute
inline constexpr int ExitNotRunning = 4;  // --status: no agent holds the lock

}  // namespace ostrell::app
