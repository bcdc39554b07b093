#pragma once
#include <cstdint>

namespace ostrell::platform {

// The Winsock-style number a socket error event carries for an errno value of the socket layer, the
// numbering the host product's technicians know ("10061" is a refused connection).
int32_t socketErrorNumber(int errnoValue);

// The number for a host name that does not resolve.
inline constexpr int32_t HostNotFoundNumber = 11001;

}  // namespace ostrell::platform
