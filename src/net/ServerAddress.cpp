#include "net/ServerAddress.h"

namespace ostrell::net {

std::string serverAddressText(const std::string& serverIP, int32_t serverPort) {
    return "IP: " + serverIP + "\r\nPort: " + std::to_string(serverPort);
}

}  // namespace ostrell::net
