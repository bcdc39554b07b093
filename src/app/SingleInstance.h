#pragma once
#include <optional>
#include <ostream>
#include <string>

#include "platform/SettingsStore.h"
#include "platform/posix/InstanceLock.h"

namespace ostrell::app {

// Takes the agent's locks before it starts: the user's, and that of the data directory the settings
// name. When another agent holds either, the refusal ("... already running (pid N)") is already written
// to err and the system log; the program shows it where it can and ends with status 1. A user's lock that cannot
// be taken is reported the same way and the agent runs; a data directory whose lock it cannot take gets no
// upload or download until it can (the parameter refresh and each cycle try again, and say why).
platform::InstanceLock::Start claimSingleInstance(platform::InstanceLock& lock, platform::SettingsStore& store,
                                                  std::ostream& err);

}  // namespace ostrell::app
