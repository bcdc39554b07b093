#pragma once
#include <cstdint>
#include <string>

namespace ostrell::net {

// The text of the server address box (txtAppDir_DblClick): "IP: " address, CR LF, "Port: " port.
std::string serverAddressText(const std::string& serverIP, int32_t serverPort);

}  // namespace ostrell::net
