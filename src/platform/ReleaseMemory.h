#pragma once

namespace ostrell::platform {

// Gives heap pages the program has freed back to the system. The C library keeps them otherwise: after
// a cycle that moved a hundred thousand records the agent would stay tens of megabytes larger for the
// rest of its life. Cheap when there is little to give back.
void releaseFreeMemory();

}  // namespace ostrell::platform
