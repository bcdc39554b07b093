#pragma once
#include <cstdint>
#include <string>

namespace ostrell::net {

// The text of the server address box a double click on the application directory shows: "IP: " address,
// CR LF, "Port: " port.
std::string serverAddressText(const std::string& serverIP, int32_t serverPort);

}  // namespace ostrell::net
